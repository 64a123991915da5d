#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <utility>

// A control's target and action. The action gets the sender; once a target
// is set, the action runs only while that target is alive, so a control
// that outlives its view never calls into freed memory.
template<typename Sender>
class KSTargetAction
{
public:
    using Action = std::function<void(Sender *sender)>;

    void setTarget(QObject *target)
    {
        m_target = target;
        m_hasTarget = target != nullptr;
    }

    void setAction(Action action) { m_action = std::move(action); }

    void send(Sender *sender) const
    {
        if (!m_action || (m_hasTarget && !m_target))
            return;
        // A copy: the action may replace itself or delete the sender.
        const Action action = m_action;
        action(sender);
    }

private:
    QPointer<QObject> m_target;
    bool m_hasTarget = false;
    Action m_action;
};

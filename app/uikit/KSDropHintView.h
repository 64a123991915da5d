#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QMimeData;

// What a drop would do, shown while a file is dragged over a target: a
// light accent wash with a dashed border round the target and a line of
// text. It never takes the mouse, so the drag events reach the target.
class KSDropHintView : public QWidget
{
    Q_OBJECT

public:
    // How a target takes dropped files.
    struct Target
    {
        // Whether the target takes a file now (a busy screen does not).
        std::function<bool()> accepts;
        // Where the hint stands for a point of the target, and what it says.
        std::function<QRect(const QPoint &point)> area;
        std::function<QString(const QPoint &point)> text;
        // The dropped file and where it fell; called once the drop has ended.
        std::function<void(const QString &path, const QPoint &point)> dropped;
        // Every file and folder dropped, in their order, for a target that
        // takes several; set, it is called in place of `dropped`.
        std::function<void(const QStringList &paths, const QPoint &point)> droppedAll;
    };

    explicit KSDropHintView(QWidget *parent = nullptr);

    // Makes `target` take dropped files as `behaviour` says, with a hint
    // view of its own; they live as long as the target.
    static KSDropHintView *install(QWidget *target, Target behaviour);

    // Covers `area` of the parent with the text; an empty area hides it.
    void showOver(const QRect &area, const QString &text);
    QString text() const { return m_text; }

    // The first local file a drag carries; empty when it carries none.
    [[nodiscard]] static QString droppedFile(const QMimeData *data);
    // Every local file (or folder) a drag carries, in its order.
    [[nodiscard]] static QStringList droppedFiles(const QMimeData *data);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_text;
    Target m_target;
};

#pragma once

#include "KSDialogWindow.h"
#include "KSEraserType.h"

#include <QStringList>
#include <functional>
#include <optional>

class QCheckBox;

// Asks what a photo that came without a card (dropped on the window, opened
// from outside, pasted) shows: a person or an object. The answer goes to
// the closure once: the type, or none when the user closed the question.
// A batch is asked once for all its photos; when a folder is among them,
// the question also offers to read its sub-folders.
class KSTypeQuestionWindow : public KSDialogWindow
{
    Q_OBJECT

public:
    using Answer = std::function<void(std::optional<KSEraserType> type)>;
    using BatchAnswer = std::function<void(std::optional<KSEraserType> type, bool subFolders)>;

    KSTypeQuestionWindow(const QString &photoPath, Answer answer, QWidget *parentWindow = nullptr);
    KSTypeQuestionWindow(const QStringList &paths, BatchAnswer answer, QWidget *parentWindow = nullptr);
    ~KSTypeQuestionWindow() override;

    // One question at a time: a new one replaces an open one, which answers none.
    static KSTypeQuestionWindow *ask(const QString &photoPath, Answer answer);
    static KSTypeQuestionWindow *askForBatch(const QStringList &paths, BatchAnswer answer);

    void choose(std::optional<KSEraserType> type);
    // The sub-folders choice; nullptr when no folder was given.
    QCheckBox *subFoldersBox() const { return m_subFolders; }

private:
    void build(const QString &message);
    template<typename Subject, typename Reply>
    static KSTypeQuestionWindow *replaceOpenQuestion(const Subject &subject, Reply answer);

    BatchAnswer m_answer;
    QCheckBox *m_subFolders = nullptr;
};

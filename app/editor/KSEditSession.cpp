#include "KSEditSession.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAppSetting.h"
#include "KSAsync.h"
#include "KSEditDocument.h"
#include "KSEditTempCleaner.h"
#include "KSNotice.h"
#include "KSSavePhotoSuccessView.h"
#include "KSUnsavedEditsView.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUndoStack>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

KSEditSession::SaveDialogRunner &saveDialogRunner()
{
    static KSEditSession::SaveDialogRunner runner;
    return runner;
}

} // namespace

KSEditSession::KSEditSession(KSEditDocument *document, QWidget *view, QObject *parent)
    : QObject(parent), m_document(document), m_view(view)
{
}

KSEditSession::~KSEditSession()
{
    // Closed with the window while still shown: nobody else will ever
    // delete the cut-out this editor owns.
    if (!m_left && !m_documentKept)
        KSEditTempCleaner::removeFiles({m_document->cutoutPath()});
}

void KSEditSession::setSaveDialogRunner(SaveDialogRunner runner)
{
    saveDialogRunner() = std::move(runner);
}

QWidget *KSEditSession::dialogHost() const
{
    return m_view->parentWidget() ? m_view->parentWidget() : m_view;
}

QString KSEditSession::baseName() const
{
    return QFileInfo(m_document->cutoutPath()).completeBaseName();
}

bool KSEditSession::hasUnsavedEdits() const
{
    return !m_documentKept && !m_editsDiscarded && !m_document->undoStack()->isClean();
}

KSOutputRender::Request KSEditSession::saveRequest() const
{
    return m_document->renderRequest(KSAppSetting::outputSize());
}

void KSEditSession::start(KSOutputSaver::Job job)
{
    // The file is written off the GUI thread; the ways out wait for it.
    m_saving = true;
    m_savingIndex = m_document->undoStack()->index();
    emit savingChanged(true);
    job.makeSubject = m_document->subjectMaker();
    KSOutputSaver::runAsync(job, this, [this](const KSOutputSaver::Result &result) { finished(result); });
}

void KSEditSession::save()
{
    if (m_saving || m_left)
        return;
    emit aboutToRender();
    start(KSOutputSaver::prepare(QString(), baseName(), saveRequest()));
}

void KSEditSession::savePrintSheet(KSPrintSheet::Paper paper)
{
    if (m_saving || m_left)
        return;
    emit aboutToRender();
    const KSOutputRender::Request request = saveRequest();
    // The button shows only for a printed size; a custom size in pixels has none.
    if (request.printSizeMm.isEmpty()) {
        KSSavePhotoSuccessView::showSaveFailedView(dialogHost(), QStringLiteral("the chosen size has no printed size"));
        return;
    }
    KSOutputSaver::Job job = KSOutputSaver::prepare(QString(), baseName(), request);
    job.sheet = paper;
    start(job);
}

void KSEditSession::saveAs()
{
    if (m_saving || m_left)
        return;
    emit aboutToRender();
    const KSOutputRender::Request request = saveRequest();
    const bool transparent = request.backgroundColor == KSClear_Color();
    const QString format = KSOutputSaver::outputFormat(request.backgroundColor);

    QFileDialog dialog(m_view->window(), lang("SaveAs"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters{QStringLiteral("PNG (*.png)")};
    // JPEG has no transparency: it is offered for a coloured background only.
    if (!transparent)
        filters << QStringLiteral("JPEG (*.jpg *.jpeg)");
    if (format == QLatin1String("jpg"))
        std::swap(filters.first(), filters.last());
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(format);
    dialog.setDirectory(KSAppSetting::outputDirectory());
    dialog.selectFile(baseName() + QLatin1Char('.') + format);
    dialog.setWindowModality(Qt::WindowModal);

    QString target;
    if (saveDialogRunner())
        target = saveDialogRunner()(dialog);
    else if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        target = dialog.selectedFiles().constFirst();
    if (target.isEmpty() || m_saving || m_left)
        return;
    start(KSOutputSaver::prepareAs(QString(), target, request));
}

void KSEditSession::finished(const KSOutputSaver::Result &result)
{
    m_saving = false;
    emit savingChanged(false);
    std::function<void()> afterSave = std::exchange(m_afterSave, {});
    if (result.ok()) {
        CommLog::I(QStringLiteral("editor: saved ") + result.path);
        // Clean only if nothing was edited while the file was written.
        if (m_document->undoStack()->index() == m_savingIndex)
            m_document->undoStack()->setClean();
        if (!afterSave)
            KSSavePhotoSuccessView::showSaveSuccessView(dialogHost(), result.path);
    } else {
        afterSave = {};
        KSSavePhotoSuccessView::showSaveFailedView(dialogHost(), result.error);
    }
    emit saveDidFinish(result.path, result.error);
    // The way out that waited for this save.
    if (afterSave)
        afterSave();
}

void KSEditSession::copy()
{
    if (m_left)
        return;
    emit aboutToRender();
    KSOutputSaver::Job job = KSOutputSaver::prepare(QString(), QString(), saveRequest());
    job.makeSubject = m_document->subjectMaker();
    // The clipboard keeps transparency whatever the output format setting.
    job.format = QStringLiteral("png");
    struct Rendered
    {
        QImage picture;
        QString error;
    };
    KSAsync::run(this, [job] {
        Rendered rendered;
        rendered.picture = KSOutputSaver::render(job, &rendered.error);
        return rendered;
    }, [this](const Rendered &rendered) {
        if (rendered.picture.isNull()) {
            CommLog::E(QStringLiteral("editor: the result could not be copied: ") + rendered.error);
            KSNotice::post({lang("Tip"), lang("CopyFailed"), rendered.error});
        } else {
            QGuiApplication::clipboard()->setImage(rendered.picture);
            CommLog::I(QStringLiteral("editor: the result is on the clipboard"));
            KSNotice::post({lang("Tip"), lang("Copied"), {}});
        }
        emit copyDidFinish(!rendered.picture.isNull());
    });
}

void KSEditSession::askBeforeLeaving(std::function<void()> leave)
{
    if (!hasUnsavedEdits()) {
        leave();
        return;
    }
    if (m_question)
        return;
    m_question = KSUnsavedEditsView::ask(dialogHost(), [this, leave](KSUnsavedEditsView::Answer answer) {
        switch (answer) {
        case KSUnsavedEditsView::Answer::cancel:
            break;
        case KSUnsavedEditsView::Answer::discard:
            m_editsDiscarded = true;
            leave();
            break;
        case KSUnsavedEditsView::Answer::save:
            m_afterSave = leave;
            save();
            break;
        }
    });
    // No question can be shown: leaving must not lose the edits silently.
    if (!m_question)
        CommLog::E(QStringLiteral("editor: the unsaved-edits question cannot be shown; staying"));
}

void KSEditSession::leave(KSEditBackType type, const std::optional<QString> &path)
{
    m_left = true;
    emit left(type, path);
}

void KSEditSession::goHome()
{
    if (m_left || m_saving)
        return;
    QPointer<KSEditSession> self(this);
    askBeforeLeaving([self] {
        if (!self || self->m_left || self->m_saving)
            return;
        const QString cutoutFile = self->m_document->cutoutPath();
        const bool kept = self->m_documentKept;
        self->leave(KSEditBackType::goHome, std::nullopt);
        if (!kept)
            KSEditTempCleaner::removeFilesLater({cutoutFile});
    });
}

void KSEditSession::openAnotherPhoto(const QString &path)
{
    if (m_left || m_saving || path.isEmpty())
        return;
    QPointer<KSEditSession> self(this);
    askBeforeLeaving([self, path] {
        // The cut-out is the caller's to delete.
        if (self && !self->m_left && !self->m_saving)
            self->leave(KSEditBackType::selelectePhoto, path);
    });
}

KSUnsavedEditsView *KSEditSession::question() const
{
    return m_question;
}

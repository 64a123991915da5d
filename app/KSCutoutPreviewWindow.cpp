#include "KSCutoutPreviewWindow.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSAppSetting.h"
#include "KSCheckerboardView.h"
#include "KSColorConst.h"
#include "KSHoverButton.h"
#include "KSImageLoader.h"
#include "KSImageWriter.h"
#include "KSTextStyle.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {
const QSize kCanvasSize(720, 440);

// Runs `work` on a worker thread and hands its value to `done` on the GUI
// thread, unless the window has gone by then.
template<typename Value>
void runOffGuiThread(KSCutoutPreviewWindow *window, std::function<Value()> work,
                     std::function<void(KSCutoutPreviewWindow *, const Value &)> done)
{
    QPointer<KSCutoutPreviewWindow> self(window);
    QThreadPool::globalInstance()->start([self, work, done] {
        const Value value = work();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, value, done] {
            if (self)
                done(self, value);
        }, Qt::QueuedConnection);
    });
}
} // namespace

KSCutoutPreviewWindow::KSCutoutPreviewWindow(const QString &photoPath, const QString &cutoutPath,
                                             QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
    , m_photoPath(photoPath)
    , m_cutoutPath(cutoutPath)
{
    // Its own window beside the main one, not a sheet that blocks it.
    setWindowModality(Qt::NonModal);
    setDialogTitle(CommLang::GetAppLang(QStringLiteral("CutoutPreview")) + QStringLiteral(" · ")
                   + QFileInfo(photoPath).fileName());
    m_canvas = new KSCheckerboardView;
    m_canvas->setMinimumSize(kCanvasSize);
    contentLayout()->addWidget(m_canvas, 1);

    auto *row = new QHBoxLayout;
    m_statusLabel = makeTextLabel({}, 12, 0x666666);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    row->addWidget(m_statusLabel, 1);
    m_saveBtn = wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("Save"))), QStringLiteral("saveBtn"),
                     [this] { actionForSave(); });
    m_saveBtn->setEnabled(false);
    row->addWidget(m_saveBtn);
    contentLayout()->addLayout(row);

    // A cut-out is as large as the photo: it is decoded and reduced for the
    // screen off the GUI thread.
    const QString path = cutoutPath;
    runOffGuiThread<QImage>(this, [path] {
        const KSImageLoader::Result loaded = KSImageLoader::load(path);
        if (!loaded.ok()) {
            CommLog::E(QStringLiteral("cannot show the cut-out %1: %2").arg(path, loaded.error));
            return QImage();
        }
        return loaded.image.size().boundedTo(kCanvasSize) == loaded.image.size()
                   ? loaded.image
                   : loaded.image.scaled(kCanvasSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }, [](KSCutoutPreviewWindow *window, const QImage &image) {
        window->m_canvas->setImage(image);
        window->m_saveBtn->setEnabled(!image.isNull());
        if (image.isNull())
            window->showStatus(CommLang::GetAppLang(QStringLiteral("SorryEreaserError")), true);
        emit window->imageShown();
    });
}

KSCutoutPreviewWindow::~KSCutoutPreviewWindow()
{
    // The cut-out belongs to the window that shows it.
    QFile::remove(m_cutoutPath);
}

KSCutoutPreviewWindow *KSCutoutPreviewWindow::showPreview(const QString &photoPath, const QString &cutoutPath,
                                                          QWidget *parentWindow)
{
    auto *window = new KSCutoutPreviewWindow(photoPath, cutoutPath, parentWindow);
    window->present();
    return window;
}

QString KSCutoutPreviewWindow::suggestedSavePath(const QString &photoPath)
{
    return KSAppSetting::outputDirectory() + QLatin1Char('/') + QFileInfo(photoPath).completeBaseName()
           + QStringLiteral(".png");
}

void KSCutoutPreviewWindow::actionForSave()
{
    const QString path = QFileDialog::getSaveFileName(this, CommLang::GetAppLang(QStringLiteral("Save")),
                                                      suggestedSavePath(m_photoPath),
                                                      QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty())
        saveTo(path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".png"));
}

void KSCutoutPreviewWindow::saveTo(const QString &path)
{
    m_saveBtn->setEnabled(false);
    const QString source = m_cutoutPath;
    runOffGuiThread<QString>(this, [source, path] {
        const KSImageLoader::Result loaded = KSImageLoader::load(source);
        if (!loaded.ok())
            return loaded.error.isEmpty() ? QStringLiteral("unreadable cut-out") : loaded.error;
        const KSImageWriter::Result written = KSImageWriter::writePng(loaded.image, path);
        if (written.ok)
            return QString();
        return written.error.isEmpty() ? QStringLiteral("write failed") : written.error;
    }, [path](KSCutoutPreviewWindow *window, const QString &error) {
        window->m_saveBtn->setEnabled(true);
        if (error.isEmpty()) {
            window->showStatus(CommLang::GetAppLang(QStringLiteral("PreviewSaved")).arg(path), false);
        } else {
            CommLog::E(QStringLiteral("cannot save the cut-out as %1: %2").arg(path, error));
            window->showStatus(CommLang::GetAppLang(QStringLiteral("PreviewSaveFailed")), true);
        }
        emit window->saveFinished(error.isEmpty());
    });
}

void KSCutoutPreviewWindow::showStatus(const QString &text, bool error)
{
    m_statusLabel->setText(text);
    KSTextStyle::apply(m_statusLabel, KSRGBHexColor(error ? 0xE5484D : 0x666666), 12);
}

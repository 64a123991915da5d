#pragma once

#include "KSBatchLook.h"
#include "KSPrintSheet.h"

#include <QWidget>
#include <functional>

class KSEditBackgroundPanel;
class KSEditChangeBackgroundView;
class KSEditChangeSizeView;
class KSEditDocument;
class KSHoverButton;
class QLabel;

// The look chosen once for a whole batch: the background and the shadow
// (the editor's background panel, over a document of the panel's own that
// holds no photo), the size with its fit mode (the editor's size panel),
// the output format and the folder. A column of its own; the editor's panel,
// while one is open, lies over the screen beside it. Every change is reported through
// lookChanged(); the panel holds no photo.
class KSBatchLookPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kColumnWidth = 220;

    explicit KSBatchLookPanel(QWidget *parent = nullptr);
    ~KSBatchLookPanel() override;

    [[nodiscard]] const KSBatchLook &look() const { return m_look; }
    // Shows a look without reporting it.
    void setLook(const KSBatchLook &look);

    // The buttons' actions: open (or close) the background or the size panel,
    // choose the format, choose the folder.
    void actionForBackground();
    void actionForSize();
    void chooseFormat(const QString &format);
    void actionForFolder();
    // Closes the open panel; false when none was open.
    bool closeOpenPanel();

    KSEditBackgroundPanel *backgroundPanel() const { return m_backgroundPanel; }
    // The background panel's colour page; nullptr while it is closed.
    KSEditChangeBackgroundView *colourPanel() const;
    // What the background panel edits while it is open; nullptr otherwise.
    KSEditDocument *lookDocument() const { return m_lookDocument; }
    KSEditChangeSizeView *sizePanel() const { return m_sizePanel; }
    KSHoverButton *backgroundBtn() const { return m_backgroundBtn; }
    KSHoverButton *sizeBtn() const { return m_sizeBtn; }
    KSHoverButton *jpgBtn() const { return m_jpgBtn; }
    KSHoverButton *pngBtn() const { return m_pngBtn; }
    KSHoverButton *folderBtn() const { return m_folderBtn; }
    QLabel *folderLabel() const { return m_folderLabel; }

    // Runs the folder dialog in place of its modal loop and returns the
    // chosen folder (empty for cancel), so that a test can answer it; an
    // empty runner restores the real dialog.
    using FolderDialogRunner = std::function<QString(const QString &start)>;
    static void setFolderDialogRunner(FolderDialogRunner runner);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void lookChanged(const KSBatchLook &look);
    // The size panel's Save Print Sheet: sheets of every photo on `paper`.
    void printSheetRequested(KSPrintSheet::Paper paper);

private:
    void showLook();
    void change(const std::function<void(KSBatchLook &look)> &edit);
    void showInHost(QWidget *panel, int width);
    void placeHost();
    KSEditChangeSizeView *makeSizePanel();
    // The look's background and shadow onto the look document, unreported.
    void showLookOnDocument();
    void takeFromDocument();

    KSBatchLook m_look;
    QWidget *m_host = nullptr;
    int m_hostWidth = 0;
    KSEditBackgroundPanel *m_backgroundPanel = nullptr;
    KSEditDocument *m_lookDocument = nullptr;
    bool m_showingOnDocument = false;
    KSEditChangeSizeView *m_sizePanel = nullptr;
    KSHoverButton *m_backgroundBtn = nullptr;
    KSHoverButton *m_sizeBtn = nullptr;
    KSHoverButton *m_jpgBtn = nullptr;
    KSHoverButton *m_pngBtn = nullptr;
    KSHoverButton *m_folderBtn = nullptr;
    QLabel *m_folderLabel = nullptr;
    QLabel *m_formatNote = nullptr;
};

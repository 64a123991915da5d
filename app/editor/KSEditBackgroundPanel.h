#pragma once

#include "KSColorView.h"
#include "KSEditBackground.h"

#include <QImage>
#include <QList>
#include <QPointer>

#include <optional>

class KSBackdropBlurPage;
class KSBackgroundPicturePage;
class KSDropHintView;
class KSEditChangeBackgroundView;
class KSEditDocument;
class KSHoverButton;
class KSShadowPage;
class QStackedWidget;

// The editor's background panel: what lies behind the subject and the
// shadow it casts, on four pages: Colour (the colour grid), Picture, Blur
// (the photo's own backdrop) and Shadow. Every choice is an edit of the
// document (a slider's drag one step of the history), and the pages follow
// the document's signals, so that undo and redo show here too. A picture
// file dropped on the panel becomes the background. The editor makes a new
// panel at each opening.
class KSEditBackgroundPanel : public KSColorView
{
    Q_OBJECT

public:
    enum class Page { colour, picture, blur, shadow };

    explicit KSEditBackgroundPanel(KSEditDocument *document, QWidget *parent = nullptr);
    ~KSEditBackgroundPanel() override;

    [[nodiscard]] Page currentPage() const { return m_page; }
    void showPage(Page page);
    // The page of the kind of background the document has now.
    [[nodiscard]] Page pageForDocument() const;

    // Reads the picture file on a worker thread and makes it the background
    // when it reads; otherwise a notice says why and the background stays.
    void usePictureFile(const QString &path);
    // Pasted pixels: kept as a file of their own among the recent pictures,
    // then used as a picture file is.
    void usePastedPicture(const QImage &picture);
    // A picture is being read.
    [[nodiscard]] bool isLoadingPicture() const { return m_loading > 0; }

    KSHoverButton *pageButton(Page page) const;
    KSEditChangeBackgroundView *colourPage() const { return m_colourPage; }
    KSBackgroundPicturePage *picturePage() const { return m_picturePage; }
    KSBackdropBlurPage *blurPage() const { return m_blurPage; }
    KSShadowPage *shadowPage() const { return m_shadowPage; }

signals:
    // A picture has been read and is the background, or could not be read.
    void pictureLoaded(const QString &path, bool ok);

private:
    void showBackground();
    void showShadow();
    // A picture read for the background, or why not.
    void pictureArrived(const QString &path, const std::optional<KSEditBackground> &background, const QString &error);
    // Says why, and leaves the background as it was.
    void pictureFailed(const QString &path, const QString &error);

    KSEditDocument *m_document;
    Page m_page = Page::colour;
    QList<KSHoverButton *> m_pageButtons;
    QStackedWidget *m_stack;
    KSEditChangeBackgroundView *m_colourPage;
    KSBackgroundPicturePage *m_picturePage;
    KSBackdropBlurPage *m_blurPage;
    KSShadowPage *m_shadowPage;
    KSDropHintView *m_dropHint = nullptr;
    int m_loading = 0;
};

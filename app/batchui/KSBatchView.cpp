#include "KSBatchView.h"

#include "CommLang.h"
#include "CommLog.h"
#include "KSBatch.h"
#include "KSBatchExportDoneWindow.h"
#include "KSBatchItemDelegate.h"
#include "KSBatchLeaveWindow.h"
#include "KSBatchLookPanel.h"
#include "KSBatchModel.h"
#include "KSBatchTexts.h"
#include "KSColorConst.h"
#include "KSDialogWindow.h"
#include "KSEditDocument.h"
#include "KSEraserEditView.h"
#include "KSHoverButton.h"
#include "KSNotice.h"
#include "KSPhotoPicker.h"
#include "KSShortcutKeys.h"
#include "KSTextField.h"
#include "KSTextStyle.h"
#include "KSViewAttach.h"
#include "KSViewSlider.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMouseEvent>
#include <QMenu>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

const QColor kText = KSRGBHexColor(0x333333);
constexpr int kBarHeight = 56;
constexpr int kSkippedListHeight = 110;

KSHoverButton *smallButton(const QString &title, const QString &objectName, QWidget *parent)
{
    KSHoverButton *button = KSDialogWindow::makeNeutralButton(title, parent);
    button->setObjectName(objectName);
    button->setTitleFont(KSTextStyle::systemFont(12));
    button->setBackgroundColor(Qt::white);
    button->setHasBorder(true);
    button->setBorderColor(KSRGBHexColor(0xDDDDDD));
    button->setBorderHoverColor(KSRGBHexColor(0xD1D1D1));
    button->setFixedHeight(28);
    button->setFixedWidth(button->textFiled()->sizeThatFits(QSize(300, 28)).width() + 24);
    return button;
}

KSHoverButton *barButton(KSHoverButton *button, const QString &objectName)
{
    button->setObjectName(objectName);
    button->setFixedHeight(32);
    button->setFixedWidth(std::max(110, button->textFiled()->sizeThatFits(QSize(300, 32)).width() + 32));
    return button;
}

KSViewSlider *progressBar(QWidget *parent, const QString &objectName, int width)
{
    auto *bar = new KSViewSlider(parent);
    bar->setObjectName(objectName);
    bar->setProgressColor(KSRGBHexColor(0x00CC8F));
    bar->setBackgroundColor(KSRGBHexColor(0xDDDDDD));
    bar->setRound(true);
    bar->setLineWith(6);
    bar->setFixedSize(width, 20);
    return bar;
}

QWidget *whiteBar(QWidget *parent)
{
    auto *bar = new QWidget(parent);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, Qt::white);
    bar->setPalette(palette);
    bar->setFixedHeight(kBarHeight);
    return bar;
}

} // namespace

KSBatchView::KSBatchView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("KSBatchView"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, KSRGBHexColor(0xF6F7FB));
    setPalette(palette);
    setAutoFillBackground(true);

    m_batch = new KSBatch(this);
    m_export = new KSBatchExport(m_batch, this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_lookPanel = new KSBatchLookPanel(this);
    m_lookPanel->setLook(m_batch->look());
    row->addWidget(m_lookPanel);

    auto *centre = new QWidget(this);
    auto *column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildTopBar());
    column->addWidget(buildActionBar());

    m_grid = new QListView(centre);
    m_grid->setObjectName(QStringLiteral("batchGridView"));
    m_grid->setViewMode(QListView::IconMode);
    m_grid->setMovement(QListView::Static);
    m_grid->setResizeMode(QListView::Adjust);
    m_grid->setUniformItemSizes(true);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_grid->setFrameShape(QFrame::NoFrame);
    m_grid->setMouseTracking(true);
    m_grid->viewport()->setAttribute(Qt::WA_Hover);
    m_grid->setSpacing(2);
    QPalette gridPalette = m_grid->palette();
    gridPalette.setColor(QPalette::Base, KSRGBHexColor(0xF6F7FB));
    m_grid->setPalette(gridPalette);
    m_grid->setModel(m_batch->model());
    m_delegate = new KSBatchItemDelegate(m_grid);
    m_grid->setItemDelegate(m_delegate);
    auto *gridBox = new QVBoxLayout;
    gridBox->setContentsMargins(14, 4, 6, 4);
    gridBox->addWidget(m_grid);
    column->addLayout(gridBox, 1);
    column->addWidget(buildSkippedArea());
    column->addWidget(buildBottomBar());
    row->addWidget(centre, 1);

    connect(m_lookPanel, &KSBatchLookPanel::lookChanged, m_batch, &KSBatch::setLook);
    connect(m_lookPanel, &KSBatchLookPanel::printSheetRequested, this, &KSBatchView::exportPrintSheets);
    connect(m_batch, &KSBatch::summaryChanged, this, &KSBatchView::showSummary);
    connect(m_batch, &KSBatch::itemChanged, this, &KSBatchView::updateActions);
    connect(m_batch, &KSBatch::itemRemoved, this, &KSBatchView::updateActions);
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, &KSBatchView::updateActions);
    connect(m_grid, &QListView::doubleClicked, this, [this](const QModelIndex &index) {
        openInEditor(m_batch->model()->idAt(index));
    });
    // A click on a cell's button is the button's, before the grid selects.
    m_grid->viewport()->installEventFilter(this);
    connect(m_export, &KSBatchExport::progress, this, [this](int done, int total) {
        m_exportProgress->setProgress(total > 0 ? double(done) / total : 0.0);
    });
    connect(m_export, &KSBatchExport::finished, this, &KSBatchView::exportFinished);

    setupShortcuts();
    showSummary();
    showSkipped();
    updateActions();
}

KSBatchView::~KSBatchView()
{
    // The editor draws a document the batch owns: it goes first.
    delete m_editor;
}

KSBatchView *KSBatchView::showBatchView(QWidget *host)
{
    auto *view = new KSBatchView;
    if (host)
        KSViewAttach::pinToEdges(view, host);
    view->m_grid->setFocus(Qt::OtherFocusReason);
    return view;
}

QWidget *KSBatchView::buildTopBar()
{
    QWidget *bar = new QWidget(this);
    bar->setFixedHeight(kBarHeight);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(18, 10, 18, 4);
    layout->setSpacing(12);
    m_titleLabel = new QLabel(bar);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    KSTextStyle::apply(m_titleLabel, kText, 16, QFont::Medium);
    layout->addWidget(m_titleLabel);
    m_summaryLabel = new QLabel(bar);
    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    KSTextStyle::apply(m_summaryLabel, KSRGBHexColor(0x666666), 12);
    layout->addWidget(m_summaryLabel, 1);
    m_batchProgress = progressBar(bar, QStringLiteral("batchProgressView"), 180);
    layout->addWidget(m_batchProgress);
    m_cancelAllBtn = barButton(KSDialogWindow::makeNeutralButton(lang("BatchCancelAll"), bar),
                               QStringLiteral("cancelAllBtn"));
    m_cancelAllBtn->setBackgroundColor(Qt::white);
    m_cancelAllBtn->setAction([this](KSHoverButton *) { cancelAll(); });
    layout->addWidget(m_cancelAllBtn);
    return bar;
}

QWidget *KSBatchView::buildActionBar()
{
    auto *bar = new QWidget(this);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(18, 2, 18, 6);
    layout->setSpacing(8);
    auto *add = smallButton(lang("BatchAddPhotos"), QStringLiteral("addBtn"), bar);
    add->setAction([this](KSHoverButton *) {
        QPointer<KSBatchView> self(this);
        KSPhotoPicker::selectPhotos([self](const QStringList &paths) {
            if (!self)
                return;
            // New photos take the type most of the batch has.
            const QList<KSBatchItem::Id> ids = self->m_batch->ids();
            int people = 0;
            for (KSBatchItem::Id id : ids)
                people += self->m_batch->item(id)->type == KSEraserType::person;
            self->addPaths(paths, 2 * people >= ids.size() ? KSEraserType::person : KSEraserType::object, false);
        });
    });
    layout->addWidget(add);
    layout->addSpacing(10);
    m_openBtn = smallButton(lang("BatchOpenInEditor"), QStringLiteral("openBtn"), bar);
    m_openBtn->setToolTip(KSShortcutKeys::withKeys(lang("BatchOpenInEditor"), KSShortcutKeys::openInEditor()));
    m_openBtn->setAction([this](KSHoverButton *) { openCurrentInEditor(); });
    m_retryBtn = smallButton(lang("Retry"), QStringLiteral("retryBtn"), bar);
    m_retryBtn->setAction([this](KSHoverButton *) { retrySelected(); });
    m_cancelBtn = smallButton(lang("Cancel"), QStringLiteral("cancelBtn"), bar);
    m_cancelBtn->setAction([this](KSHoverButton *) { cancelSelected(); });
    m_removeBtn = smallButton(lang("BatchRemove"), QStringLiteral("removeBtn"), bar);
    m_removeBtn->setToolTip(KSShortcutKeys::withKeys(lang("BatchRemove"), KSShortcutKeys::removeFromBatch()));
    m_removeBtn->setAction([this](KSHoverButton *) { removeSelected(); });
    m_typeBtn = smallButton(lang("BatchType") + QStringLiteral(" ▾"), QStringLiteral("typeBtn"), bar);
    m_typeBtn->setAction([this](KSHoverButton *) { showTypeMenu(); });
    for (KSHoverButton *button : {m_openBtn, m_retryBtn, m_cancelBtn, m_removeBtn, m_typeBtn})
        layout->addWidget(button);
    layout->addStretch(1);
    return bar;
}

QWidget *KSBatchView::buildSkippedArea()
{
    m_skippedArea = new QWidget(this);
    auto *layout = new QVBoxLayout(m_skippedArea);
    layout->setContentsMargins(18, 2, 18, 6);
    layout->setSpacing(4);
    m_skippedBtn = new KSHoverButton(m_skippedArea);
    m_skippedBtn->setObjectName(QStringLiteral("skippedBtn"));
    m_skippedBtn->setTitleFont(KSTextStyle::systemFont(12, QFont::Medium));
    const QColor warning = KSRGBHexColor(0xB26A00);
    m_skippedBtn->setTitleColor(warning);
    m_skippedBtn->setTitleHoverColor(warning.darker(120));
    m_skippedBtn->setTitleDownColor(warning.darker(120));
    m_skippedBtn->setFixedHeight(22);
    m_skippedBtn->setAction([this](KSHoverButton *) {
        m_skippedList->setVisible(!m_skippedList->isVisible());
        showSkipped();
    });
    layout->addWidget(m_skippedBtn, 0, Qt::AlignLeft);
    m_skippedList = new QListWidget(m_skippedArea);
    m_skippedList->setObjectName(QStringLiteral("skippedList"));
    m_skippedList->setFont(KSTextStyle::systemFont(12));
    m_skippedList->setSelectionMode(QAbstractItemView::NoSelection);
    m_skippedList->setFocusPolicy(Qt::NoFocus);
    m_skippedList->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid #DDDDDD; border-radius: 6px;"
                                                " background: white; color: #333333; }"));
    // Folded until asked for: the grid keeps the room.
    m_skippedList->hide();
    layout->addWidget(m_skippedList);
    return m_skippedArea;
}

QWidget *KSBatchView::buildBottomBar()
{
    QWidget *bar = whiteBar(this);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(18, 0, 18, 0);
    layout->setSpacing(12);
    m_goHomeBtn = barButton(KSDialogWindow::makeNeutralButton(lang("BackToHome"), bar), QStringLiteral("goHomeBtn"));
    m_goHomeBtn->setBackgroundColor(KSRGBHexColor(0xF6F7FB));
    m_goHomeBtn->setAction([this](KSHoverButton *) { actionForGoHome(); });
    layout->addWidget(m_goHomeBtn);
    layout->addStretch(1);
    m_exportProgress = progressBar(bar, QStringLiteral("exportProgressView"), 220);
    m_exportProgress->hide();
    layout->addWidget(m_exportProgress);
    m_exportBtn = barButton(KSDialogWindow::makePrimaryButton(lang("BatchExportAll"), bar), QStringLiteral("exportBtn"));
    m_exportBtn->setTitleFont(KSTextStyle::systemFont(13, QFont::Medium));
    const int exportWidth = std::max(m_exportBtn->width(), QFontMetrics(KSTextStyle::systemFont(13, QFont::Medium))
                                                               .horizontalAdvance(lang("BatchCancelExport")) + 40);
    m_exportBtn->setFixedWidth(exportWidth);
    m_exportBtn->setAction([this](KSHoverButton *) { exportAll(); });
    layout->addWidget(m_exportBtn);
    return bar;
}

void KSBatchView::setupShortcuts()
{
    const auto bind = [this](const QKeySequence &keys, const std::function<void()> &action) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    bind(KSShortcutKeys::selectAll(), [this] { m_grid->selectAll(); });
    bind(KSShortcutKeys::removeFromBatch(), [this] { removeSelected(); });
    bind(KSShortcutKeys::openInEditor(), [this] { openCurrentInEditor(); });
    bind(KSShortcutKeys::openInEditorToo(), [this] { openCurrentInEditor(); });
    bind(KSShortcutKeys::close(), [this] { m_lookPanel->closeOpenPanel(); });
}

// ---- adding photos --------------------------------------------------------------

void KSBatchView::addPaths(const QStringList &paths, KSEraserType type, bool subFolders, std::function<void()> done)
{
    ++m_gathering;
    showSummary();
    QPointer<KSBatchView> self(this);
    KSBatchIntake::gatherAsync(paths, subFolders, m_batch->photoPaths(), this,
                               [self, type, done = std::move(done)](const KSBatchIntake::Result &result) {
        if (!self)
            return;
        --self->m_gathering;
        for (const KSBatchIntake::Skipped &skipped : result.skipped)
            CommLog::I(QStringLiteral("batch: skipped %1: %2").arg(skipped.path, skipped.englishText()));
        self->m_skipped += result.skipped;
        if (!result.photos.isEmpty())
            self->m_batch->addPhotos(result.photos, type);
        self->showSkipped();
        self->showSummary();
        if (self->m_grid->selectionModel() && !self->m_grid->currentIndex().isValid() && self->m_batch->count() > 0)
            self->m_grid->setCurrentIndex(self->m_batch->model()->index(0));
        if (done)
            done();
    });
}

void KSBatchView::showSkipped()
{
    m_skippedArea->setVisible(!m_skipped.isEmpty());
    if (m_skipped.isEmpty())
        return;
    const QString arrow = m_skippedList->isVisible() ? QStringLiteral(" ▾") : QStringLiteral(" ▸");
    m_skippedBtn->setTitle(lang("BatchSkipped").arg(m_skipped.size()) + arrow);
    m_skippedBtn->setFixedWidth(m_skippedBtn->textFiled()->sizeThatFits(QSize(600, 22)).width() + 8);
    m_skippedList->setFixedHeight(std::min(kSkippedListHeight, int(m_skipped.size()) * 20 + 8));
    if (m_skippedList->count() == m_skipped.size())
        return;
    m_skippedList->clear();
    for (const KSBatchIntake::Skipped &skipped : m_skipped) {
        auto *item = new QListWidgetItem(QStringLiteral("%1 — %2").arg(QFileInfo(skipped.path).fileName(), skipped.text()),
                                         m_skippedList);
        item->setToolTip(skipped.path);
    }
}

// ---- the summary and the actions -----------------------------------------------

void KSBatchView::showSummary()
{
    const KSBatch::Summary summary = m_batch->summary();
    m_titleLabel->setText(lang("BatchTitle").arg(summary.total));
    QString text = KSBatchTexts::progress(summary.done, summary.total, summary.failed);
    if (m_gathering > 0)
        text += QStringLiteral(" · ") + lang("BatchReading");
    const int unfinished = summary.waiting + summary.running;
    if (unfinished > 0) {
        const QString left = KSBatchTexts::timeLeft(summary.msLeft ? std::optional<double>(*summary.msLeft / 1000.0)
                                                                   : std::nullopt);
        if (!left.isEmpty())
            text += QStringLiteral(" · ") + left;
    }
    m_summaryLabel->setText(text);
    const int finished = summary.done + summary.failed + summary.cancelled;
    m_batchProgress->setProgress(summary.total > 0 ? double(finished) / summary.total : 0.0);
    m_cancelAllBtn->setEnabled(unfinished > 0);
    m_exportBtn->setEnabled(m_export->isRunning() || summary.done > 0);
}

QList<KSBatchItem::Id> KSBatchView::selectedIds() const
{
    QList<KSBatchItem::Id> ids;
    QModelIndexList rows = m_grid->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : rows)
        ids << m_batch->model()->idAt(index);
    return ids;
}

void KSBatchView::updateActions()
{
    bool anyDone = false, anyRetry = false, anyRunning = false;
    const QList<KSBatchItem::Id> ids = selectedIds();
    for (KSBatchItem::Id id : ids) {
        const std::optional<KSBatchItem> item = m_batch->item(id);
        if (!item)
            continue;
        anyDone |= item->state == KSBatchItem::State::done;
        anyRetry |= item->state == KSBatchItem::State::failed || item->state == KSBatchItem::State::cancelled;
        anyRunning |= !item->isFinished();
    }
    const QModelIndex current = m_grid->currentIndex();
    const bool currentDone = current.isValid()
                             && current.data(KSBatchModel::StateRole).toInt() == int(KSBatchItem::State::done);
    m_openBtn->setEnabled(currentDone);
    m_retryBtn->setEnabled(anyRetry);
    m_cancelBtn->setEnabled(anyRunning);
    m_removeBtn->setEnabled(!ids.isEmpty());
    m_typeBtn->setEnabled(!ids.isEmpty());
    Q_UNUSED(anyDone)
}

void KSBatchView::openCurrentInEditor()
{
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        openInEditor(m_batch->model()->idAt(current));
}

void KSBatchView::openInEditor(KSBatchItem::Id id)
{
    if (m_editor || m_export->isRunning())
        return;
    const std::optional<KSBatchItem> item = m_batch->item(id);
    if (!item || item->state != KSBatchItem::State::done)
        return;
    QString error;
    KSEditDocument *document = m_batch->documentFor(id, &error);
    if (!document) {
        CommLog::E(QStringLiteral("batch: %1 cannot be opened in the editor: %2").arg(item->photoPath, error));
        KSNotice::post({lang("Tip"), lang("BatchCannotOpen").arg(item->name()), error});
        return;
    }
    QPointer<KSBatchView> self(this);
    m_editor = KSEraserEditView::showBatchEditView(parentWidget() ? parentWidget() : this, item->photoPath, document,
                                                   [self](KSEditBackType, const std::optional<QString> &) {
        if (self)
            self->editorLeft();
    });
    if (!m_editor) {
        m_batch->documentClosed(id);
        return;
    }
    m_editedId = id;
    if (parentWidget())
        hide();
}

void KSBatchView::editorLeft()
{
    const KSBatchItem::Id id = std::exchange(m_editedId, 0);
    m_editor = nullptr;
    // The thumbnail is made again from the document as the editor left it.
    m_batch->documentClosed(id);
    show();
    const QModelIndex index = m_batch->model()->indexOf(id);
    if (index.isValid()) {
        m_grid->setCurrentIndex(index);
        m_grid->scrollTo(index);
    }
    m_grid->setFocus(Qt::OtherFocusReason);
}

void KSBatchView::retrySelected()
{
    for (KSBatchItem::Id id : selectedIds())
        m_batch->retry(id);
}

void KSBatchView::cancelSelected()
{
    for (KSBatchItem::Id id : selectedIds())
        m_batch->cancel(id);
}

void KSBatchView::removeSelected()
{
    const QList<KSBatchItem::Id> ids = selectedIds();
    if (ids.isEmpty() || m_export->isRunning())
        return;
    const int firstRow = m_batch->rowOf(ids.constFirst());
    m_batch->remove(ids);
    // The photo after the removed ones becomes current, so that Delete
    // can be pressed again.
    if (m_batch->count() > 0) {
        const QModelIndex next = m_batch->model()->index(std::min(firstRow, m_batch->count() - 1));
        m_grid->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    }
    updateActions();
}

void KSBatchView::setTypeOfSelected(KSEraserType type)
{
    for (KSBatchItem::Id id : selectedIds()) {
        const std::optional<KSBatchItem> item = m_batch->item(id);
        if (item && item->type != type)
            m_batch->setType(id, type);
    }
}

void KSBatchView::cancelAll()
{
    m_batch->cancelAll();
}

void KSBatchView::showTypeMenu()
{
    QMenu menu(this);
    menu.addAction(lang("BatchAsPerson"), this, [this] { setTypeOfSelected(KSEraserType::person); });
    menu.addAction(lang("BatchAsObject"), this, [this] { setTypeOfSelected(KSEraserType::object); });
    menu.exec(m_typeBtn->mapToGlobal(QPoint(0, m_typeBtn->height())));
}

void KSBatchView::contextMenuEvent(QContextMenuEvent *event)
{
    const QPoint inGrid = m_grid->viewport()->mapFrom(this, event->pos());
    const QModelIndex index = m_grid->indexAt(inGrid);
    if (!index.isValid()) {
        QWidget::contextMenuEvent(event);
        return;
    }
    if (!m_grid->selectionModel()->isSelected(index))
        m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    updateActions();
    QMenu menu(this);
    menu.addAction(lang("BatchOpenInEditor"), this, &KSBatchView::openCurrentInEditor)->setEnabled(m_openBtn->isEnabled());
    menu.addAction(lang("Retry"), this, &KSBatchView::retrySelected)->setEnabled(m_retryBtn->isEnabled());
    menu.addAction(lang("Cancel"), this, &KSBatchView::cancelSelected)->setEnabled(m_cancelBtn->isEnabled());
    menu.addAction(lang("BatchRemove"), this, &KSBatchView::removeSelected);
    menu.addSeparator();
    menu.addAction(lang("BatchAsPerson"), this, [this] { setTypeOfSelected(KSEraserType::person); });
    menu.addAction(lang("BatchAsObject"), this, [this] { setTypeOfSelected(KSEraserType::object); });
    menu.exec(event->globalPos());
}

bool KSBatchView::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched != m_grid->viewport()
        || (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
            && type != QEvent::MouseButtonDblClick))
        return QWidget::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint point = mouse->position().toPoint();
    const QModelIndex index = m_grid->indexAt(point);
    if (mouse->button() != Qt::LeftButton || !index.isValid())
        return QWidget::eventFilter(watched, event);
    const KSBatchItemDelegate::Button button = KSBatchItemDelegate::buttonAt(index, m_grid->visualRect(index), point);
    if (button == KSBatchItemDelegate::Button::none)
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::MouseButtonRelease) {
        const KSBatchItem::Id id = m_batch->model()->idAt(index);
        if (button == KSBatchItemDelegate::Button::retry)
            m_batch->retry(id);
        else
            m_batch->cancel(id);
    }
    return true;
}

// ---- leaving -------------------------------------------------------------------

bool KSBatchView::wouldLoseWork() const
{
    return m_batch->hasUnfinishedWork() || m_batch->hasUnsavedWork();
}

void KSBatchView::askBeforeLeaving(std::function<void()> leave)
{
    if (!wouldLoseWork()) {
        leave();
        return;
    }
    const KSBatch::Summary summary = m_batch->summary();
    int notExported = 0;
    for (KSBatchItem::Id id : m_batch->ids()) {
        const std::optional<KSBatchItem> item = m_batch->item(id);
        notExported += item && item->state == KSBatchItem::State::done && item->exportedPath.isEmpty();
    }
    KSBatchLeaveWindow::ask(summary.waiting + summary.running, notExported, [leave = std::move(leave)](bool agreed) {
        if (agreed)
            leave();
    });
}

void KSBatchView::actionForGoHome()
{
    if (m_editor || m_export->isRunning())
        return;
    QPointer<KSBatchView> self(this);
    askBeforeLeaving([self] {
        if (self && self->backClosure)
            self->backClosure();
    });
}

// ---- export --------------------------------------------------------------------

void KSBatchView::exportAll()
{
    startExport(std::nullopt);
}

void KSBatchView::exportPrintSheets(KSPrintSheet::Paper paper)
{
    startExport(paper);
}

void KSBatchView::startExport(const std::optional<KSPrintSheet::Paper> &sheet)
{
    if (m_export->isRunning()) {
        m_export->cancel();
        return;
    }
    if (m_batch->summary().done == 0) {
        KSNotice::post({lang("Tip"), lang("BatchNothingDone"), {}});
        return;
    }
    m_lookPanel->closeOpenPanel();
    m_export->setSheet(sheet);
    if (!m_export->start())
        return;
    m_exportProgress->setProgress(0.0);
    m_exportProgress->show();
    m_exportBtn->setTitle(lang("BatchCancelExport"));
    m_lookPanel->setEnabled(false);
    m_goHomeBtn->setEnabled(false);
}

void KSBatchView::exportFinished(const KSBatchExport::Result &result)
{
    m_exportProgress->hide();
    m_exportBtn->setTitle(lang("BatchExportAll"));
    m_lookPanel->setEnabled(true);
    m_goHomeBtn->setEnabled(true);
    showSummary();
    CommLog::I(QStringLiteral("batch: exported %1 into %2, %3 failed, %4 not done")
                   .arg(result.written.size())
                   .arg(result.folder)
                   .arg(result.failed.size())
                   .arg(result.skipped));
    KSBatchExportDoneWindow::Outcome outcome;
    outcome.saved = int(result.written.size());
    outcome.notExported = result.skipped;
    outcome.writeFailures = int(result.failed.size());
    if (!result.failed.isEmpty())
        outcome.firstError = result.failed.constFirst().error;
    outcome.folder = result.folder;
    outcome.firstFile = result.written.isEmpty() ? QString() : result.written.constFirst();
    KSBatchExportDoneWindow::showOutcome(outcome);
    emit exportDidFinish(result);
}

#include "KSHomeTypeSelectedView.h"

#include "ui_KSHomeTypeSelectedView.h"

#include "KSColorConst.h"
#include "KSHoverButton.h"
#include "KSImageNamed.h"
#include "KSTextStyle.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextLayout>

namespace {
constexpr int kExplanationLines = 2;
constexpr double kHighlightEdge = 2.0;
constexpr double kFocusEdge = 1.0;
}

KSHomeTypeSelectedView::KSHomeTypeSelectedView(QWidget *parent)
    : KSColorView(parent), m_ui(std::make_unique<Ui::KSHomeTypeSelectedView>())
{
    m_ui->setupUi(this);
    setColor(Qt::white);
    setRadius(8.0);

    KSTextStyle::apply(m_ui->topTitle, KSRGBHexColor(0x333333), 15, QFont::Medium);
    KSTextStyle::apply(m_ui->titleLabelFirst, KSRGBHexColor(0x00CC8F), 15, QFont::Medium);
    KSTextStyle::apply(m_ui->titleLabelSecond, KSRGBHexColor(0x666666), 11, QFont::Medium);
    const int lineHeight = m_ui->titleLabelSecond->fontMetrics().lineSpacing();
    m_ui->titleLabelSecond->setFixedHeight(lineHeight * kExplanationLines);

    m_ui->button->setBorderRadius(6.0);
    m_ui->button->setTarget(this);
    m_ui->button->setAction([this](KSHoverButton *sender) { actionForEraserBtnWithSender(sender); });
    // The card, not its picture, is the one stop for the keyboard.
    m_ui->button->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setBorderColor(KSRGBHexColor(0x00CC8F));
    refreshLook();
}

KSHomeTypeSelectedView::~KSHomeTypeSelectedView() = default;

void KSHomeTypeSelectedView::configure(const QString &title, const QString &callToAction,
                                       const QString &explanation, const QString &imageBaseName)
{
    m_ui->topTitle->setText(title);
    setAccessibleName(title);
    setAccessibleDescription(callToAction);
    m_ui->titleLabelFirst->setText(callToAction);
    m_explanation = explanation;
    fitExplanation();

    const QPixmap hover = KSImageNamed(imageBaseName + QStringLiteral("Hover"));
    m_ui->button->setImage(KSImageNamed(imageBaseName + QStringLiteral("Normal")));
    m_ui->button->setHoverImage(hover);
    m_ui->button->setDownImage(hover);
}

void KSHomeTypeSelectedView::actionForEraserBtnWithSender(QObject *)
{
    if (actionClosure)
        actionClosure();
}

void KSHomeTypeSelectedView::refreshLook()
{
    // The picture keeps its hover image while the pointer is anywhere on the card.
    m_ui->button->setSelected(isHighlighted());
    setBorderLineWith(isHighlighted() ? kHighlightEdge : m_keyboardFocus ? kFocusEdge : 0.0);
    update();
}

void KSHomeTypeSelectedView::enterEvent(QEnterEvent *event)
{
    KSColorView::enterEvent(event);
    m_hovered = true;
    refreshLook();
}

void KSHomeTypeSelectedView::leaveEvent(QEvent *event)
{
    KSColorView::leaveEvent(event);
    m_hovered = false;
    m_pressed = false;
    refreshLook();
}

// Presses on the labels and margins reach the card; the picture button
// takes its own.
void KSHomeTypeSelectedView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        KSColorView::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    refreshLook();
    event->accept();
}

void KSHomeTypeSelectedView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        KSColorView::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    refreshLook();
    event->accept();
    // Released outside the card, the press is given up, as a button does.
    if (rect().contains(event->position().toPoint()))
        actionForEraserBtnWithSender(this);
}

void KSHomeTypeSelectedView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            actionForEraserBtnWithSender(this);
        event->accept();
        return;
    default:
        KSColorView::keyPressEvent(event);
    }
}

// The focus edge marks where the keyboard is, not where a click landed.
void KSHomeTypeSelectedView::focusInEvent(QFocusEvent *event)
{
    KSColorView::focusInEvent(event);
    m_keyboardFocus = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    refreshLook();
}

void KSHomeTypeSelectedView::focusOutEvent(QFocusEvent *event)
{
    KSColorView::focusOutEvent(event);
    m_keyboardFocus = false;
    refreshLook();
}

void KSHomeTypeSelectedView::resizeEvent(QResizeEvent *event)
{
    KSColorView::resizeEvent(event);
    fitExplanation();
}

// Shows the explanation in at most two lines, the second ending in an
// ellipsis when the text needs more, so a long translation never spills.
void KSHomeTypeSelectedView::fitExplanation()
{
    QLabel *label = m_ui->titleLabelSecond;
    const int width = label->contentsRect().width();
    if (width <= 0) {
        label->setText(m_explanation);
        return;
    }
    QTextLayout layout(m_explanation, label->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<QTextLine> lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(line);
    }
    layout.endLayout();
    if (lines.size() <= kExplanationLines) {
        label->setText(m_explanation);
        return;
    }
    const QTextLine &last = lines.at(kExplanationLines - 1);
    const QString head = m_explanation.left(last.textStart());
    const QString tail = label->fontMetrics().elidedText(m_explanation.mid(last.textStart()), Qt::ElideRight, width);
    label->setText(head + tail);
}

QLabel *KSHomeTypeSelectedView::topTitle() const
{
    return m_ui->topTitle;
}

KSHoverButton *KSHomeTypeSelectedView::button() const
{
    return m_ui->button;
}

QLabel *KSHomeTypeSelectedView::titleLabelFirst() const
{
    return m_ui->titleLabelFirst;
}

QLabel *KSHomeTypeSelectedView::titleLabelSecond() const
{
    return m_ui->titleLabelSecond;
}

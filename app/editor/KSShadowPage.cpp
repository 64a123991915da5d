#include "KSShadowPage.h"

#include "CommLang.h"
#include "KSColorConst.h"
#include "KSEditPanelStyle.h"
#include "KSEditSliderRow.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

int percent(double share)
{
    return int(std::lround(share * 100.0));
}

// A slider of the page: its title's key and its range in whole steps.
struct RowEntry
{
    const char *titleKey;
    int minimum;
    int maximum;
};

// Darkness and softness in percent, the size in percent of the footprint.
constexpr RowEntry kContactRows[] = {
    {"ShadowDarkness", 0, 100},
    {"ShadowSoftness", 0, 100},
    {"ShadowSize", int(KSEditShadow::kMinContactSize * 100), int(KSEditShadow::kMaxContactSize * 100)},
};
// The offset in percent of the subject's height; the blur in percent of
// its largest; the opacity in percent.
constexpr RowEntry kDropRows[] = {
    {"ShadowOffsetX", -int(KSEditShadow::kMaxDropOffset * 100), int(KSEditShadow::kMaxDropOffset * 100)},
    {"ShadowOffsetY", -int(KSEditShadow::kMaxDropOffset * 100), int(KSEditShadow::kMaxDropOffset * 100)},
    {"ShadowBlur", 0, 100},
    {"ShadowOpacity", 0, 100},
};

constexpr KSEditShadow::Kind kKinds[] = {KSEditShadow::Kind::none, KSEditShadow::Kind::contact,
                                          KSEditShadow::Kind::drop};

const char *kindTitleKey(KSEditShadow::Kind kind)
{
    switch (kind) {
    case KSEditShadow::Kind::none: return "ShadowNone";
    case KSEditShadow::Kind::contact: return "ShadowContact";
    case KSEditShadow::Kind::drop: return "ShadowDrop";
    }
    return "ShadowNone";
}

template <std::size_t N>
QList<KSEditSliderRow *> makeRows(const RowEntry (&entries)[N], QWidget *parent, QVBoxLayout *column)
{
    QList<KSEditSliderRow *> rows;
    for (const RowEntry &entry : entries) {
        auto *row = new KSEditSliderRow(lang(entry.titleKey), entry.minimum, entry.maximum, parent);
        row->setValueText([](int value) { return QStringLiteral("%1 %").arg(value); });
        column->addWidget(row);
        rows.append(row);
    }
    column->addStretch(1);
    return rows;
}

QList<int> values(const QList<KSEditSliderRow *> &rows)
{
    QList<int> steps;
    for (const KSEditSliderRow *row : rows)
        steps.append(row->value());
    return steps;
}

} // namespace

KSShadowPage::KSShadowPage(QWidget *parent) : QWidget(parent), m_rows(new QStackedWidget(this))
{
    auto *kinds = new QHBoxLayout;
    kinds->setSpacing(6);
    for (KSEditShadow::Kind kind : kKinds) {
        auto *button = new KSHoverButton(this);
        KSEditPanelStyle::styleTabButton(button);
        button->setTitleFont(KSTextStyle::systemFont(13));
        button->setTitle(lang(kindTitleKey(kind)));
        button->setMinimumHeight(32);
        button->setTarget(this);
        button->setAction([this, kind](KSHoverButton *) { chooseKind(kind); });
        kinds->addWidget(button);
        m_kindButtons.append(button);
    }

    auto *intro = new QLabel(lang("ShadowIntro"), this);
    intro->setWordWrap(true);
    KSTextStyle::apply(intro, KSRGBHexColor(0x999999), 11);

    auto *none = new QWidget(m_rows);
    auto *contact = new QWidget(m_rows);
    auto *contactColumn = new QVBoxLayout(contact);
    contactColumn->setContentsMargins(0, 0, 0, 0);
    contactColumn->setSpacing(12);
    m_contactRows = makeRows(kContactRows, contact, contactColumn);
    auto *drop = new QWidget(m_rows);
    auto *dropColumn = new QVBoxLayout(drop);
    dropColumn->setContentsMargins(0, 0, 0, 0);
    dropColumn->setSpacing(12);
    m_dropRows = makeRows(kDropRows, drop, dropColumn);
    m_rows->addWidget(none);
    m_rows->addWidget(contact);
    m_rows->addWidget(drop);
    for (KSEditSliderRow *row : m_contactRows + m_dropRows)
        connect(row, &KSEditSliderRow::edited, this, [this](int, bool dragging) { rowsEdited(dragging); });

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addLayout(kinds);
    column->addWidget(intro);
    column->addWidget(m_rows, 1);
    showShadow(m_shadow);
}

KSHoverButton *KSShadowPage::kindButton(KSEditShadow::Kind kind) const
{
    return m_kindButtons.value(int(kind));
}

QList<int> KSShadowPage::contactSteps(const KSEditShadow &shadow)
{
    return {percent(shadow.darkness), percent(shadow.softness), percent(shadow.size)};
}

QList<int> KSShadowPage::dropSteps(const KSEditShadow &shadow)
{
    return {percent(shadow.offset.x()), percent(shadow.offset.y()),
            percent(shadow.dropBlur / KSEditShadow::kMaxDropBlur), percent(shadow.opacity)};
}

KSEditShadow KSShadowPage::withContactSteps(KSEditShadow shadow, const QList<int> &steps)
{
    if (steps.size() < 3)
        return shadow;
    shadow.darkness = steps[0] / 100.0;
    shadow.softness = steps[1] / 100.0;
    shadow.size = steps[2] / 100.0;
    return shadow;
}

KSEditShadow KSShadowPage::withDropSteps(KSEditShadow shadow, const QList<int> &steps)
{
    if (steps.size() < 4)
        return shadow;
    shadow.offset = QPointF(steps[0] / 100.0, steps[1] / 100.0);
    shadow.dropBlur = steps[2] / 100.0 * KSEditShadow::kMaxDropBlur;
    shadow.opacity = steps[3] / 100.0;
    return shadow;
}

void KSShadowPage::showShadow(const KSEditShadow &shadow)
{
    // The values of the kinds not shown stay as they were, to be offered again.
    switch (shadow.kind) {
    case KSEditShadow::Kind::none: m_shadow.kind = shadow.kind; break;
    case KSEditShadow::Kind::contact:
        m_shadow = withDropSteps(shadow, dropSteps(m_shadow));
        break;
    case KSEditShadow::Kind::drop:
        m_shadow = withContactSteps(shadow, contactSteps(m_shadow));
        break;
    }
    showRows();
}

void KSShadowPage::showRows()
{
    for (int index = 0; index < m_kindButtons.size(); ++index)
        m_kindButtons.at(index)->setSelected(int(m_shadow.kind) == index);
    m_rows->setCurrentIndex(int(m_shadow.kind));
    const QList<int> contact = contactSteps(m_shadow);
    for (int index = 0; index < m_contactRows.size(); ++index)
        m_contactRows.at(index)->showValue(contact.value(index));
    const QList<int> drop = dropSteps(m_shadow);
    for (int index = 0; index < m_dropRows.size(); ++index)
        m_dropRows.at(index)->showValue(drop.value(index));
}

void KSShadowPage::chooseKind(KSEditShadow::Kind kind)
{
    if (kind == m_shadow.kind)
        return;
    m_shadow.kind = kind;
    showRows();
    emit shadowEdited(m_shadow, false);
}

void KSShadowPage::rowsEdited(bool dragging)
{
    m_shadow = withContactSteps(m_shadow, values(m_contactRows));
    m_shadow = withDropSteps(m_shadow, values(m_dropRows));
    emit shadowEdited(m_shadow, dragging);
}

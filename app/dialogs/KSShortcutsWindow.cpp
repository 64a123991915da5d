#include "KSShortcutsWindow.h"

#include "CommLang.h"
#include "KSHoverButton.h"
#include "KSShortcutKeys.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>

namespace {
QPointer<KSShortcutsWindow> openWindow;
constexpr int kTextWidth = 340;
} // namespace

KSShortcutsWindow::KSShortcutsWindow(QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
{
    setDialogTitle(CommLang::GetAppLang(QStringLiteral("Shortcuts")));
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(8);
    int row = 0;
    const auto addRow = [grid, &row](const QString &keysText, const QString &what) {
        QLabel *keys = makeTextLabel(keysText, 13, 0x00CC8F);
        keys->setWordWrap(false);
        grid->addWidget(keys, row, 0);
        QLabel *text = makeTextLabel(what, 13, 0x333333);
        text->setMinimumWidth(kTextWidth);
        grid->addWidget(text, row, 1);
        ++row;
    };
    for (const KSShortcutKeys::Row &shortcut : KSShortcutKeys::rows())
        addRow(shortcut.keys.toString(QKeySequence::NativeText),
               CommLang::GetAppLang(QLatin1String(shortcut.textKey)));
    // Panning is a key held with a drag, which no key sequence names.
    addRow(CommLang::GetAppLang(QStringLiteral("ShortcutPanKeys")), CommLang::GetAppLang(QStringLiteral("ShortcutPan")));
    contentLayout()->addLayout(grid);
    contentLayout()->addWidget(makeTextLabel(CommLang::GetAppLang(QStringLiteral("ShortcutDrop")), 12, 0x666666));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(wire(makePrimaryButton(CommLang::GetAppLang(QStringLiteral("OK"))), QStringLiteral("okBtn"),
                            [this] { close(); }));
    contentLayout()->addSpacing(4);
    contentLayout()->addLayout(buttons);
}

KSShortcutsWindow *KSShortcutsWindow::showShortcuts()
{
    if (!openWindow)
        openWindow = new KSShortcutsWindow(registeredWindow());
    openWindow->present();
    return openWindow;
}

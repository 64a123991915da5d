#include "KSAboutWindow.h"

#include "CommLang.h"
#include "CommUpdate.h"
#include "KSColorConst.h"
#include "KSCommonUtils.h"
#include "KSHoverButton.h"
#include "KSTextStyle.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>

namespace {

QPointer<KSAboutWindow> openWindow;

constexpr int kTextWidth = 420;
constexpr int kIconSide = 64;

QString lang(const char *key)
{
    return CommLang::GetAppLang(QLatin1String(key));
}

QLabel *heading(const QString &text)
{
    auto *label = new QLabel(text);
    KSTextStyle::apply(label, KSRGBHexColor(0x333333), 13, QFont::DemiBold);
    return label;
}

} // namespace

const QList<KSAboutWindow::Credit> &KSAboutWindow::credits()
{
    static const QList<Credit> list{
        {"Qt 6", "LGPL-3.0"},
        {"OpenCV", "Apache-2.0"},
        {"oneDNN", "Apache-2.0"},
        {"ONNX", "Apache-2.0"},
        {"Protocol Buffers", "BSD-3-Clause"},
        {"libcurl", "curl"},
        {"libheif", "LGPL-3.0"},
        {"libspng", "BSD-2-Clause"},
        {"cpp-httplib", "MIT"},
        {"SQLite", "public domain"},
    };
    return list;
}

KSAboutWindow::KSAboutWindow(const Model &model, QWidget *parentWindow)
    : KSDialogWindow(parentWindow)
{
    setDialogTitle(lang("About"));

    auto *identity = new QHBoxLayout;
    auto *icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/app/cutora.svg")).pixmap(kIconSide, kIconSide));
    identity->addWidget(icon, 0, Qt::AlignTop);
    auto *names = new QVBoxLayout;
    auto *name = new QLabel(lang("MacCutora"));
    name->setObjectName(QStringLiteral("nameLabel"));
    KSTextStyle::apply(name, KSRGBHexColor(0x00CC8F), 20, QFont::DemiBold);
    names->addWidget(name);
    QLabel *version = makeTextLabel(lang("AboutVersion").arg(CommUpdate::runningVersion()), 12, 0x666666);
    version->setObjectName(QStringLiteral("versionLabel"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    names->addWidget(version);
    names->addWidget(makeTextLabel(lang("AboutTagline"), 12, 0x333333));
    identity->addLayout(names, 1);
    contentLayout()->addLayout(identity);

    contentLayout()->addWidget(heading(lang("AboutLicenceTitle")));
    QLabel *licence = makeTextLabel(lang("AboutProgramLicence"), 12, 0x333333);
    licence->setObjectName(QStringLiteral("licenceLabel"));
    licence->setFixedWidth(kTextWidth);
    contentLayout()->addWidget(licence);

    contentLayout()->addWidget(heading(lang("AboutModelTitle")));
    const QString modelText =
        !model.serviceUrl.isEmpty() ? lang("AboutRemoteService").arg(model.serviceUrl)
        : !model.name.isEmpty()     ? lang("AboutModel").arg(model.name, model.licence.isEmpty()
                                                                         ? lang("AboutModelNoTerms")
                                                                         : model.licence)
                                          + (model.runtime.isEmpty()
                                                 ? QString()
                                                 : QLatin1Char('\n') + lang("AboutModelRuntime").arg(model.runtime))
        : model.classicChosen       ? lang("AboutClassicEngine")
                                    : lang("AboutNoModel");
    QLabel *modelLabel = makeTextLabel(modelText, 12, 0x333333);
    modelLabel->setObjectName(QStringLiteral("modelLabel"));
    modelLabel->setFixedWidth(kTextWidth);
    contentLayout()->addWidget(modelLabel);

    contentLayout()->addWidget(heading(lang("AboutCreditsTitle")));
    QStringList lines;
    for (const Credit &credit : credits())
        lines << QStringLiteral("%1 (%2)").arg(QLatin1String(credit.name), QLatin1String(credit.licence));
    QLabel *creditsLabel = makeTextLabel(lines.join(QStringLiteral(", ")), 12, 0x666666);
    creditsLabel->setObjectName(QStringLiteral("creditsLabel"));
    creditsLabel->setFixedWidth(kTextWidth);
    contentLayout()->addWidget(creditsLabel);

    const QString home = KSCommonUtils::appInfo().urlHome();
    if (!home.isEmpty()) {
        QLabel *site = makeTextLabel(home, 12, 0x666666);
        site->setTextInteractionFlags(Qt::TextSelectableByMouse);
        contentLayout()->addWidget(site);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(wire(makePrimaryButton(lang("OK")), QStringLiteral("okBtn"), [this] { close(); }));
    contentLayout()->addSpacing(4);
    contentLayout()->addLayout(buttons);
}

KSAboutWindow *KSAboutWindow::showAbout(const Model &model)
{
    if (!openWindow)
        openWindow = new KSAboutWindow(model, registeredWindow());
    openWindow->present();
    return openWindow;
}

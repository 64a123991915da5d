#pragma once

#include <QString>
#include <optional>

// A product record from the compiled-in product table: the product's
// identifier and its localized name and web addresses in one language.
class CommProductInfo
{
public:
    int productID = 0;
    QString identify;      // language-neutral identifier, e.g. "Cutora"
    QString localizedName;
    QString urlHome;       // a null text when the product has no such page
    QString urlSupport;
    QString urlFAQ;
    QString urlForum;
    QString urlProduct;
    QString updateFeed;    // the update check's feed, the same in every language

    // The record of the product in the language (a langName of CommLang);
    // a language the table lacks gets the English record. The application
    // type does not change the record today. None for an unknown product.
    static std::optional<CommProductInfo> getInfoWithProductID(int productID,
                                                               const QString &appLang,
                                                               const QString &appType);
    // The product's identifier; an empty text for an unknown product.
    static QString getAppIdentifyByID(int productID);
};

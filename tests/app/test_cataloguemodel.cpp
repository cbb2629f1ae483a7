// The catalogue model's own prefix search must find exactly the row that Qt's letter-case-blind
// comparison of the shown texts finds, or typing in a favorites list would select another row
// than a search over the texts would.

#include "app/cataloguemodel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using quorvel::Catalogue;
using quorvel::CatalogueModel;

namespace
{

TEST(CatalogueModel, PrefixSearchAgreesWithQtsCaseBlindComparison)
{
    Catalogue catalogue;
    catalogue.URL_Names = {
        "apple",
        "Äpfel",
        "Пример",
        "пРИМЕЧАНИЕ",
        "\xE2\x84\xAA"
        "elvin", // KELVIN SIGN
        "ſtraße",
        "😀 smile",
        "caf\xE9 bad",
        "Zebra",
        "",
        "ÉCOLE",
        "école",
        "x\xF0\x9F", // cut off in the middle of a character
    };
    catalogue.URL_List.assign(catalogue.URL_Names.size(), "http://a/");
    catalogue.Files.assign(catalogue.URL_Names.size(), "/f.url");
    CatalogueModel model(catalogue);

    const QStringList prefixes = {"",    "a",     "ä",  "ÄP", "при", "ПРИМЕЧ",    "k",
                                  "KEL", "s",     "ST", "😀",  "😀 S", "caf",       "café",
                                  "z",   "école", "É",  "x",  "q",   "apple pie", "пример"};
    for (const QString &prefix : prefixes) {
        int expected = -1;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString text =
                model.data(model.index(row, CatalogueModel::NameColumn)).toString();
            if (text.startsWith(prefix, Qt::CaseInsensitive)) {
                expected = row;
                break;
            }
        }
        const QModelIndexList found = model.match(model.index(0, CatalogueModel::NameColumn),
                                                  Qt::DisplayRole, prefix, 1, Qt::MatchStartsWith);
        EXPECT_EQ(found.isEmpty() ? -1 : found.first().row(), expected) << prefix.toStdString();
        EXPECT_TRUE(found.isEmpty() || found.first().column() == CatalogueModel::NameColumn);
    }
}

TEST(CatalogueModel, ColumnsShowTheCatalogueAndFollowAReload)
{
    Catalogue catalogue;
    catalogue.URL_Names = {"News"};
    catalogue.URL_List = {"http://news/"};
    catalogue.Files = {"/fav/News.url"};
    CatalogueModel model(catalogue);
    EXPECT_EQ(model.data(model.index(0, CatalogueModel::UrlColumn)).toString(), "http://news/");
    EXPECT_EQ(model.data(model.index(0, CatalogueModel::FileColumn)).toString(), "/fav/News.url");
    EXPECT_FALSE(model.data(model.index(0, CatalogueModel::NameColumn), Qt::EditRole).isValid());

    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    model.beginReload();
    catalogue.clear();
    model.endReload();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.data(model.index(0, CatalogueModel::NameColumn)).isValid());
}

} // namespace

#include "app/cataloguemodel.h"

#include <optional>
#include <string_view>
#include <vector>

namespace quorvel
{

namespace
{

// The next code point of UTF-8 text, or nullopt for a malformed sequence.
std::optional<char32_t> nextCodePoint(std::string_view text, std::size_t &at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size())
        return std::nullopt;
    char32_t cp = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    at += length;
    return cp;
}

// Whether text begins with the case-folded prefix, as QString::startsWith with
// Qt::CaseInsensitive decides: character by character, each folded. Malformed text is left to
// QString, which shows it with replacement characters.
bool startsWithFolded(std::string_view text, const std::vector<char32_t> &prefix,
                      const QString &prefixText)
{
    std::size_t at = 0;
    for (const char32_t wanted : prefix) {
        if (at == text.size())
            return false;
        const std::optional<char32_t> cp = nextCodePoint(text, at);
        if (!cp)
            return QString::fromUtf8(text.data(), qsizetype(text.size()))
                .startsWith(prefixText, Qt::CaseInsensitive);
        if (QChar::toCaseFolded(*cp) != wanted)
            return false;
    }
    return true;
}

} // namespace

CatalogueModel::CatalogueModel(const Catalogue &catalogue, QObject *parent)
    : QAbstractTableModel(parent), catalogue_(catalogue)
{
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(catalogue_.size());
}

int CatalogueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const std::string &CatalogueModel::cell(int row, Column column) const
{
    switch (column) {
    case NameColumn:
        return catalogue_.URL_Names.at(std::size_t(row));
    case UrlColumn:
        return catalogue_.URL_List.at(std::size_t(row));
    default:
        return catalogue_.Files.at(std::size_t(row));
    }
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= ColumnCount)
        return {};
    return QString::fromStdString(cell(index.row(), Column(index.column())));
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QModelIndexList CatalogueModel::match(const QModelIndex &start, int role, const QVariant &value,
                                      int hits, Qt::MatchFlags flags) const
{
    const bool prefixSearch = role == Qt::DisplayRole && flags == Qt::MatchStartsWith &&
                              start.isValid() && start.model() == this &&
                              value.typeId() == QMetaType::QString && hits != 0;
    if (!prefixSearch)
        return QAbstractTableModel::match(start, role, value, hits, flags);
    const QString prefixText = value.toString();
    std::vector<char32_t> prefix;
    for (const char32_t cp : prefixText.toUcs4())
        prefix.push_back(QChar::toCaseFolded(cp));
    const Column column = Column(start.column());
    QModelIndexList found;
    for (int row = start.row(); row < rowCount(); ++row) {
        if (startsWithFolded(cell(row, column), prefix, prefixText)) {
            found.append(index(row, column));
            if (found.size() == hits)
                break;
        }
    }
    return found;
}

void CatalogueModel::beginReload()
{
    beginResetModel();
}

void CatalogueModel::endReload()
{
    endResetModel();
}

} // namespace quorvel

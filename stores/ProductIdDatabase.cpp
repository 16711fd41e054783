#include "stores/ProductIdDatabase.h"

#include "text/TokenReader.h"

namespace morvik {

namespace {

// One record as written with "\n[%d]\nName : %s \n" and "ID : %s\n". A record that does not
// read through to its identifier is not stored: a name without an identifier can never be
// found, and whatever follows it is not a record either.
std::optional<ProductIdDatabase::Record> readRecord(TokenReader& reader) {
    if (!reader.word("[") || !reader.integer() || !reader.literal("]")) {
        return std::nullopt;
    }
    if (!reader.word("Name") || !reader.word(":")) {
        return std::nullopt;
    }
    const auto name = reader.next();
    if (!name || !reader.word("ID") || !reader.word(":")) {
        return std::nullopt;
    }
    const auto id = reader.next();
    if (!id) {
        return std::nullopt;
    }
    return ProductIdDatabase::Record{std::string(*name), std::string(*id)};
}

} // namespace

ProductIdDatabase::ProductIdDatabase(std::string_view dataDirectory) : file_(0644) {
    file_.setPath(dataFilePath(dataDirectory, "prodid.ini"));
}

bool ProductIdDatabase::load() {
    records_.clear();
    current_ = 0;
    const auto content = file_.readCreatingIfMissing();
    if (!content) {
        return false;
    }
    loadText(*content);
    return true;
}

void ProductIdDatabase::loadText(std::string_view text) {
    records_.clear();
    TokenReader reader(text, kMaxTokenLength);
    // Records past the table's size are not read.
    while (count() < kMaxRecords && !reader.atEnd()) {
        auto record = readRecord(reader);
        if (!record) {
            break;
        }
        records_.push_back(std::move(*record));
    }
    current_ = count();
}

int ProductIdDatabase::find(std::string_view productId) const {
    for (int i = 0; i < count(); ++i) {
        if (records_[static_cast<std::size_t>(i)].id == productId) {
            return i;
        }
    }
    return -1;
}

bool ProductIdDatabase::select(int index) {
    // A negative index is as far outside the records as one beyond the count.
    if (index < 0 || (index != 0 && index > count())) {
        return false;
    }
    current_ = index;
    return true;
}

const std::string& ProductIdDatabase::currentName() const {
    static const std::string none;
    // The position past the last record holds an empty record.
    if (current_ < 0 || current_ >= count()) {
        return none;
    }
    return records_[static_cast<std::size_t>(current_)].name;
}

} // namespace morvik

#include "library/row_access.h"

namespace sonarch {

LibraryOutcome<std::string> ReadColumn(const LibraryStore& store, const std::string& path,
                                       const LibraryQuery& query, std::string_view column,
                                       WhichRow which) {
    using Outcome = LibraryOutcome<std::string>;
    if (!LibraryStore::isAvailable(path)) {
        return Outcome::unavailable();
    }
    auto database = store.open(path);
    if (!database.ok()) {
        return Outcome::failed(database.error());
    }
    auto rows = database.value().query(query, RowSetKind::ReadOnly);
    if (!rows.ok()) {
        return Outcome::failed(rows.error());
    }
    std::string text;
    for (RowSet& set = rows.value(); !set.atEnd(); set.moveNext()) {
        auto value = set.text(column);
        if (!value.ok()) {
            return Outcome::failed(value.error());
        }
        text = std::move(value.value());
        if (which == WhichRow::First) {
            break;
        }
    }
    rows.value().close();
    database.value().close();
    return Outcome::done(std::move(text));
}

LibraryOutcome<int> WriteColumn(const LibraryStore& store, const std::string& path,
                                const LibraryQuery& query, std::string_view column,
                                const FieldValue& value) {
    using Outcome = LibraryOutcome<int>;
    if (!LibraryStore::isAvailable(path)) {
        return Outcome::unavailable();
    }
    auto database = store.open(path);
    if (!database.ok()) {
        return Outcome::failed(database.error());
    }
    auto rows = database.value().query(query, RowSetKind::Updatable);
    if (!rows.ok()) {
        return Outcome::failed(rows.error());
    }
    int changed = 0;
    for (RowSet& set = rows.value(); !set.atEnd(); set.moveNext()) {
        set.beginEdit();
        set.setValue(column, value);
        if (auto saved = set.saveRow(); !saved.ok()) {
            // The row set has dropped its transaction: the rows saved before keep their
            // old values.
            return Outcome::failed(saved.error());
        }
        ++changed;
    }
    if (auto committed = rows.value().close(); !committed.ok()) {
        return Outcome::failed(committed.error());
    }
    database.value().close();
    return Outcome::done(changed);
}

}  // namespace sonarch

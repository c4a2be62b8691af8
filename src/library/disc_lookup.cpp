#include "library/disc_lookup.h"

namespace sonarch {

LibraryOutcome<std::vector<TrackRecord>> LookUpDisc(const LibraryStore& store,
                                                    const std::string& databasePath,
                                                    const std::string& discKey) {
    using Outcome = LibraryOutcome<std::vector<TrackRecord>>;
    if (!LibraryStore::isAvailable(databasePath)) {
        return Outcome::unavailable();
    }
    auto database = store.open(databasePath);
    if (!database.ok()) {
        return Outcome::failed(database.error());
    }
    auto rows = database.value().query(LibraryQuery::orderedDisc(discKey), RowSetKind::ReadOnly);
    if (!rows.ok()) {
        return Outcome::failed(rows.error());
    }
    std::vector<TrackRecord> records;
    for (RowSet& set = rows.value(); !set.atEnd(); set.moveNext()) {
        TrackRecord record;
        const std::pair<const char*, std::string*> cells[] = {
            {"trkNum", &record.trkNum},     {"trkTime", &record.trkTime},
            {"trkTitle", &record.trkTitle}, {"trkArtist", &record.trkArtist},
            {"Album", &record.album},       {"Rating", &record.rating},
            {"Cover", &record.cover},
        };
        for (const auto& [column, target] : cells) {
            auto value = set.text(column);
            if (!value.ok()) {
                return Outcome::failed(value.error());
            }
            *target = std::move(value.value());
        }
        records.push_back(std::move(record));
    }
    rows.value().close();
    database.value().close();
    return Outcome::done(std::move(records));
}

}  // namespace sonarch

#pragma once

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "device/drives/virtual_drive.h"
#include "library/library_file.h"
#include "library/stored_text.h"
#include "support/disc_images.h"

namespace sonarch::testing {

// Twelve tracks of 2:30 to 4:20.
inline std::vector<VirtualTrack> twelveLibraryTracks() {
    std::vector<VirtualTrack> tracks;
    for (int i = 0; i < 12; ++i) {
        tracks.push_back({(150 + 10 * i) * 75, true});
    }
    return tracks;
}

// The key the player will look up for the disc in `drive`.
inline std::string keyOf(VirtualDrive& drive) {
    return StoredDiscKey(discKey(drive));
}

// A player (the bare one or the one with its window) whose settings name a library in a
// temporary folder, and a way to store its disc there.
template <class Base>
struct LibraryPlayer : Base {
    explicit LibraryPlayer(std::vector<VirtualTrack> tracks = twelveLibraryTracks())
        : Base(std::move(tracks)) {
        path = dir.filePath("music.dbd").toStdString();
        this->storedSettings.databasePath = path;
    }
    // Stores the disc with its tracks in the given order of numbers: "Title N" by
    // "Artist N" on "Album", track 2 rated 7.
    void storeDisc(const std::vector<int>& order, const std::string& cover = {}) {
        auto file = LibraryFile::create(path);
        ASSERT_TRUE(file.ok());
        std::vector<LibraryRow> rows;
        for (int n : order) {
            LibraryRow row;
            row.cddbToc = keyOf(this->drive);
            row.trkNum = (n < 10 ? "0" : "") + std::to_string(n);
            row.trkTime = "0" + std::to_string(2 + n / 6) + ":30";
            row.trkTitle = "Title " + std::to_string(n);
            row.trkArtist = "Artist " + std::to_string(n);
            row.album = "Album";
            row.rating = n == 2 ? 7 : 0;
            row.cover = cover;
            rows.push_back(row);
        }
        EXPECT_TRUE(file.value().addRows(rows, IfDiscPresent::Refuse).ok());
    }
    std::vector<LibraryRow> rows() { return LibraryFile::open(path).value().rows().value(); }

    QTemporaryDir dir;
    std::string path;
};

}  // namespace sonarch::testing

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/drives/drive_factory.h"
#include "support/cd_text_packs.h"
#include "support/disc_images.h"
#include "support/libcdio_reference.h"
#include "support/nrg_images.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;
using Kind = NrgShape::Kind;

const std::vector<ImageTrack> kThreeTracks = {{300, true}, {225, true}, {350, true}};

std::vector<std::uint8_t> sector(Drive& drive, std::int32_t at) {
    std::vector<std::uint8_t> bytes(kBytesPerFrame);
    EXPECT_EQ(drive.readAudio(at, 1, bytes), ReadStatus::Ok) << "sector " << at;
    return bytes;
}

TEST(NeroImages, AreLaidOutAsLibcdioLaysThemOut) {
    // libcdio reads each image in a child process; where it reads one right, its table of
    // contents and CD-TEXT are the reference for the keys libraries already hold.
    TempDir dir;
    const auto texts = cdTextPacks({{0x09, {"Album", "One", "Two", "Three"}, {"Band", "Ann"}}});
    const NrgShape shapes[] = {
        {Kind::DiscAtOnce, {0, 75}, {}},
        {Kind::DiscAtOnce, {150, 32}, texts},
        {Kind::TrackAtOnce, {}, {}},
        {Kind::OldTrackAtOnce, {}, texts},
    };
    for (const NrgShape& shape : shapes) {
        writeFile(dir.file("disc.nrg"), nrgImage(kThreeTracks, shape));
        const auto libcdio = ReadWithLibcdio(dir.file("disc.nrg"), LibcdioImage::Nrg);
        ASSERT_TRUE(libcdio.read) << int(shape.kind);
        auto ours = openDrive(dir.file("disc.nrg"));
        ASSERT_TRUE(ours.ok()) << ours.error();
        EXPECT_EQ(ours.value()->readToc(), libcdio.toc) << int(shape.kind);
        EXPECT_EQ(ours.value()->discText(), libcdio.text) << int(shape.kind);
    }
}

TEST(NeroImages, PlayTheSoundOfEveryTrackAndPregap) {
    TempDir dir;
    // Disc at once: pregaps of 0 and 75 sectors before tracks 2 and 3 lie in the image.
    writeFile(dir.file("dao.nrg"), nrgImage(kThreeTracks, {Kind::DiscAtOnce, {0, 75}, {}}));
    auto dao = openDrive(dir.file("dao.nrg"));
    ASSERT_TRUE(dao.ok()) << dao.error();
    EXPECT_EQ(discKey(*dao.value()), "150 450 750 1100");
    for (const std::int32_t at : {0, 299, 300, 524, 525, 600, 949}) {
        EXPECT_EQ(sector(*dao.value(), at), imageSectors(at, 1, true)) << at;
    }

    // Track at once: each track after the first follows two seconds of silence.
    writeFile(dir.file("tao.nrg"), nrgImage(kThreeTracks, {Kind::TrackAtOnce, {}, {}}));
    auto tao = openDrive(dir.file("tao.nrg"));
    ASSERT_TRUE(tao.ok()) << tao.error();
    EXPECT_EQ(discKey(*tao.value()), "150 600 975 1325");
    EXPECT_EQ(sector(*tao.value(), 299), imageSectors(299, 1, true));
    EXPECT_EQ(sector(*tao.value(), 300), std::vector<std::uint8_t>(kBytesPerFrame, 0));
    EXPECT_EQ(sector(*tao.value(), 450), imageSectors(450, 1, true));
    EXPECT_EQ(sector(*tao.value(), 1174), imageSectors(1174, 1, true));
}

TEST(NeroImages, OfNerosFirstFormatAndWithADataTrack) {
    TempDir dir;
    // Before Nero 5.5, cue points were minutes, seconds and frames from the pregap's start.
    writeFile(dir.file("old.nrg"), nrgImage(kThreeTracks, {Kind::OldDiscAtOnce, {40}, {}}));
    auto old = openDrive(dir.file("old.nrg"));
    ASSERT_TRUE(old.ok()) << old.error();
    EXPECT_EQ(discKey(*old.value()), "150 490 715 1065");
    EXPECT_EQ(sector(*old.value(), 700), imageSectors(700, 1, true));

    // A mixed-mode disc: its data track of 2048-byte sectors first, never heard.
    const std::vector<ImageTrack> mixed = {{400, false}, {300, true}};
    writeFile(dir.file("mixed.nrg"), nrgImage(mixed, {Kind::DiscAtOnce, {150}, {}}));
    auto disc = openDrive(dir.file("mixed.nrg"));
    ASSERT_TRUE(disc.ok()) << disc.error();
    const auto toc = disc.value()->readToc();
    ASSERT_TRUE(toc);
    EXPECT_FALSE(toc->tracks[0].audio);
    EXPECT_TRUE(toc->tracks[1].audio);
    EXPECT_EQ(toc->tracks[1].startSector, 550);
    EXPECT_EQ(toc->leadoutSector, 850);
    EXPECT_EQ(sector(*disc.value(), 100), std::vector<std::uint8_t>(kBytesPerFrame, 0));
    EXPECT_EQ(sector(*disc.value(), 550), imageSectors(550, 1, true));
}

// Every way a damaged image came to the player: each is refused in words that name the
// Nero image, or opened as a disc a CD could be; never a crash or a wait (the sanitizers and
// the valgrind test of qvmci watch the reading).
TEST(NeroImages, DamagedImagesAreRefusedAsDamagedNeroImages) {
    TempDir dir;
    const std::string path = dir.file("damaged.nrg");
    const auto image = nrgImage({{10, true}, {5, true}, {8, true}}, {Kind::DiscAtOnce, {0, 3}, {}});
    std::size_t chain = 0;
    for (std::size_t i = image.size() - 8; i < image.size(); ++i) {
        chain = chain << 8 | image[i];
    }
    const auto expectRefusedOrSound = [&](const std::string& what) {
        const auto drive = openDrive(path);
        if (!drive.ok()) {
            EXPECT_NE(drive.error().find("Nero image"), std::string::npos) << what << drive.error();
            return;
        }
        const auto toc = drive.value()->readToc();
        ASSERT_TRUE(toc) << what;
        EXPECT_TRUE(TocLaysOutADisc(*toc)) << what;
        std::vector<std::uint8_t> sectors(2 * kBytesPerFrame);
        drive.value()->readAudio(toc->leadoutSector - 2, 2, sectors);
    };
    // Every byte of the track list and trailer set to 0, to 0xFF, and with its top bit flipped.
    writeFile(path, image);
    for (std::size_t at = chain; at < image.size(); ++at) {
        for (const int change : {0x00, 0xFF, 0x100}) {
            const auto byte = std::uint8_t(change == 0x100 ? image[at] ^ 0x80 : change);
            {
                std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
                file.seekp(std::streamoff(at));
                file.put(char(byte));
            }
            expectRefusedOrSound("byte " + std::to_string(at) + " = " + std::to_string(byte) +
                                 ": ");
        }
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(at));
        file.put(char(image[at]));
    }
    // Cut short before its trailer.
    for (std::size_t cut = 1; cut < image.size() - chain; cut += 5) {
        auto bytes = image;
        bytes.erase(bytes.end() - std::ptrdiff_t(cut) - 12, bytes.end() - 12);
        writeFile(path, bytes);
        expectRefusedOrSound("cut " + std::to_string(cut) + ": ");
    }

    // As they came from outside: a chunk whose length wraps the reader around to itself, a
    // trailer pointing before the file, chunks read from wild memory or freed twice.
    std::vector<std::uint8_t> looping = imageSectors(0, 10, true);
    const std::size_t start = looping.size();
    looping.insert(looping.end(), {'X', 'X', 'X', 'X', 0xFF, 0xFF, 0xFF, 0xF8});
    looping.insert(looping.end(), {'N', 'E', 'R', '5'});
    putBigEndian(looping, start, 8);
    std::vector<std::uint8_t> before = imageSectors(0, 10, true);
    before.insert(before.end(), {'N', 'E', 'R', '5'});
    putBigEndian(before, 0xFFFFFFFF00000000, 8);
    const std::string wildRead("\0\0\0\0\x7f\xff\xff\xffNERO\0\0\0\0", 16);
    const std::string doubleFree("CDTX\0\0\0\0NER5\0\0\0\0\0\0\0\0", 20);
    const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
        {looping, "is a damaged Nero image: a chunk of its track list runs past its end."},
        {before, "is a damaged Nero image: its track list would lie past its end."},
        {{wildRead.begin(), wildRead.end()},
         "is a damaged Nero image: a chunk of its track list runs past its end."},
        {{doubleFree.begin(), doubleFree.end()}, "is a damaged Nero image: it lists no tracks."},
    };
    for (const auto& [bytes, message] : cases) {
        writeFile(path, bytes);
        const auto drive = openDrive(path);
        ASSERT_FALSE(drive.ok());
        EXPECT_EQ(drive.error(), "'" + path + "' " + message);
    }
}

TEST(NeroImages, AreKnownByTheirEndWhateverTheirName) {
    TempDir dir;
    writeFile(dir.file("disc.img"), nrgImage(kThreeTracks, {Kind::TrackAtOnce, {}, {}}));
    auto drive = openDrive(dir.file("disc.img"));
    ASSERT_TRUE(drive.ok()) << drive.error();
    EXPECT_EQ(drive.value()->readToc()->tracks.size(), 3u);

    writeFile(dir.file("plain.nrg"), imageSectors(0, 10, true));
    const auto plain = openDrive(dir.file("plain.nrg"));
    ASSERT_FALSE(plain.ok());
    EXPECT_EQ(plain.error(), "'" + dir.file("plain.nrg") +
                                 "' is not a Nero image (NRG): it lacks the track list Nero "
                                 "images end with.");
}

}  // namespace
}  // namespace sonarch

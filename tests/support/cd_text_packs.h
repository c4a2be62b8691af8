#pragma once

// CD-TEXT as a drive reads it from a disc's lead-in: packs of 18 bytes, as the MMC
// standard lays them out (cdrdao and cdrecord keep the same bytes in .cdt files).

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sonarch::testing {

// One language block: the disc's and each track's title and performer in ISO-8859-1.
struct PackBlock {
    int language = 0x09;                  // 0x09 English, 0x08 German
    std::vector<std::string> titles;      // [0] the disc, then tracks 1..N
    std::vector<std::string> performers;  // the same shape
};

inline std::uint16_t packCrc(const std::uint8_t* data, int size) {
    std::uint16_t crc = 0;  // CRC-16/CCITT, stored inverted
    for (int i = 0; i < size; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
    }
    return static_cast<std::uint16_t>(~crc);
}

inline void appendPack(std::vector<std::uint8_t>& out, std::array<std::uint8_t, 16> head) {
    const std::uint16_t crc = packCrc(head.data(), 16);
    out.insert(out.end(), head.begin(), head.end());
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    out.push_back(static_cast<std::uint8_t>(crc & 0xff));
}

inline std::vector<std::uint8_t> cdTextPacks(const std::vector<PackBlock>& blocks) {
    // Each block: its text packs, then three size-information packs that count them and
    // name every block's language and last sequence number.
    std::vector<std::array<int, 16>> counts(blocks.size());
    std::vector<std::vector<std::uint8_t>> texts(blocks.size());
    std::vector<int> lastSequence(blocks.size());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        int sequence = 0;
        auto emit = [&](std::uint8_t type, const std::vector<std::string>& strings) {
            std::string all;
            std::vector<std::pair<int, int>> where;  // (track, character in its string)
            for (std::size_t t = 0; t < strings.size(); ++t) {
                for (std::size_t c = 0; c <= strings[t].size(); ++c) {
                    all += c < strings[t].size() ? strings[t][c] : '\0';
                    where.push_back({int(t), int(c)});
                }
            }
            for (std::size_t at = 0; at < all.size(); at += 12) {
                std::array<std::uint8_t, 16> head{};
                head[0] = type;
                head[1] = static_cast<std::uint8_t>(where[at].first);
                head[2] = static_cast<std::uint8_t>(sequence++);
                head[3] = static_cast<std::uint8_t>(b << 4 | std::min(where[at].second, 15));
                for (std::size_t i = 0; i < 12 && at + i < all.size(); ++i) {
                    head[4 + i] = static_cast<std::uint8_t>(all[at + i]);
                }
                appendPack(texts[b], head);
                ++counts[b][type - 0x80];
            }
        };
        emit(0x80, blocks[b].titles);
        emit(0x81, blocks[b].performers);
        counts[b][15] = 3;
        lastSequence[b] = sequence + 2;
    }
    std::vector<std::uint8_t> out;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        out.insert(out.end(), texts[b].begin(), texts[b].end());
        std::array<std::uint8_t, 36> info{};
        info[0] = 0x00;  // ISO-8859-1
        info[1] = 1;
        info[2] = static_cast<std::uint8_t>(blocks[b].titles.size() - 1);
        for (int i = 0; i < 16; ++i) {
            info[4 + std::size_t(i)] = static_cast<std::uint8_t>(counts[b][std::size_t(i)]);
        }
        for (std::size_t k = 0; k < blocks.size(); ++k) {
            info[20 + k] = static_cast<std::uint8_t>(lastSequence[k]);
            info[28 + k] = static_cast<std::uint8_t>(blocks[k].language);
        }
        for (int p = 0; p < 3; ++p) {
            std::array<std::uint8_t, 16> head{};
            head[0] = 0x8F;
            head[1] = static_cast<std::uint8_t>(p);
            head[2] = static_cast<std::uint8_t>(lastSequence[b] - 2 + p);
            head[3] = static_cast<std::uint8_t>(b << 4);
            std::copy_n(info.begin() + p * 12, 12, head.begin() + 4);
            appendPack(out, head);
        }
    }
    return out;
}

}  // namespace sonarch::testing

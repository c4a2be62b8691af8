// Answers as MusicBrainz and the Cover Art Archive give them (JSON of the web service,
// version 2), for a disc that libdiscid's documentation uses as its example.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/disc_images.h"

namespace sonarch::testing::musicbrainz {

// libdiscid's published example disc: 15 tracks at these addresses, lead-out at 258725.
inline const std::vector<int> kStarts = {150,    17510,  33275,  45910,  57805,
                                         78310,  94650,  109580, 132010, 149160,
                                         165115, 177710, 203325, 215555, 235590};
constexpr int kLeadout = 258725;
inline const std::string kDiscId = "TqvKjMu7dMliSfmVEBtrL7sBSno-";
inline const std::string kDiscPath = "/ws/2/discid/" + kDiscId;
inline const std::string kReleaseA = "0c3fb3c1-5ed0-4b2e-9c85-7d9be6bd1a6a";
inline const std::string kReleaseB = "f2b5c7b9-3d1e-4c43-8e3a-1f1c0b9d2e77";
// A real picture to serve as a cover: the demo disc's.
inline std::string coverPicture(const std::string& demoFolder) {
    std::ifstream in(demoFolder + "/cover.png", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline std::string discDrive() {
    std::string description = "virtual:";
    for (std::size_t i = 0; i < kStarts.size(); ++i) {
        const int end = i + 1 < kStarts.size() ? kStarts[i + 1] : kLeadout;
        description += (i ? "," : "") + msf(end - kStarts[i]);
    }
    return description;
}

inline std::string json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

inline std::string credit(const std::string& name, const std::string& joinphrase = "") {
    return "{\"name\":" + json(name) + ",\"joinphrase\":" + json(joinphrase) +
           ",\"artist\":{\"id\":\"5b11f4ce-a62d-471e-81fc-a69a8278c7da\",\"name\":" + json(name) +
           ",\"sort-name\":" + json(name) + "}}";
}

// A release as the web service gives it with inc=recordings+artist-credits: one CD whose
// disc IDs are `discIds`, 15 tracks named `prefix` 1..15 by `artist`, track 2 credited
// to two artists joined by " feat. ".
inline std::string release(const std::string& id, const std::string& title,
                           const std::string& artist, const std::string& prefix, bool front,
                           const std::string& discIds, const std::string& firstTitle = "") {
    std::string tracks;
    for (int n = 1; n <= 15; ++n) {
        const std::string name =
            n == 1 && !firstTitle.empty() ? firstTitle : prefix + " " + std::to_string(n);
        const std::string artists =
            n == 2 ? credit("Ann", " feat. ") + "," + credit("Bea") : credit(artist);
        tracks += std::string(n > 1 ? "," : "") + "{\"id\":\"t" + std::to_string(n) +
                  "\",\"position\":" + std::to_string(n) + ",\"number\":\"" + std::to_string(n) +
                  "\",\"title\":" + json(name) + ",\"length\":200000,\"artist-credit\":[" +
                  artists + "],\"recording\":{\"id\":\"r" + std::to_string(n) +
                  "\",\"title\":" + json(name) + ",\"length\":200000}}";
    }
    return "{\"id\":\"" + id + "\",\"title\":" + json(title) +
           ",\"status\":\"Official\",\"date\":\"1997-09-22\",\"country\":\"DE\","
           "\"barcode\":\"0743215003722\",\"label-info\":[{\"catalog-number\":\"GUN 150\","
           "\"label\":{\"id\":\"a0759efa-f583-49ea-9a8d-d5bbce55541c\",\"name\":\"Supersonic\"}}],"
           "\"artist-credit\":[" +
           credit(artist) + "],\"cover-art-archive\":{\"artwork\":" + (front ? "true" : "false") +
           ",\"count\":1,\"front\":" + (front ? "true" : "false") +
           ",\"back\":false},\"media\":[{\"position\":1,\"format\":\"CD\",\"track-count\":15,"
           "\"track-offset\":0,\"discs\":[" +
           discIds + "],\"tracks\":[" + tracks + "]}]}";
}

inline std::string discIds() {
    return "{\"id\":\"" + kDiscId + "\",\"sectors\":258725,\"offset-count\":15}";
}

// The answer to a disc ID lookup, and to a TOC lookup (a list of releases without the ID).
inline std::string byDiscId(const std::string& releases) {
    return "{\"id\":\"" + kDiscId + "\",\"sectors\":258725,\"offset-count\":15,\"releases\":[" +
           releases + "]}";
}
inline std::string byToc(const std::string& releases) {
    return "{\"release-count\":1,\"release-offset\":0,\"releases\":[" + releases + "]}";
}

}  // namespace sonarch::testing::musicbrainz

// The page layout follows mdbtools' notes on the Jet 3 and Jet 4 formats (HACKING.md).
#include "support/jet_writer.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "base/utf8.h"

namespace sonarch::testing {

namespace {

using Bytes = std::string;

[[noreturn]] void refuse(const std::string& why) {
    throw std::runtime_error("the Jet writer cannot write this: " + why);
}

void put16(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char((value >> 8) & 0xFF);
}

void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}

void append16(Bytes& bytes, std::uint32_t value) {
    bytes.append(2, '\0');
    put16(bytes, bytes.size() - 2, value);
}

void append32(Bytes& bytes, std::uint32_t value) {
    bytes.append(4, '\0');
    put32(bytes, bytes.size() - 4, value);
}

// What differs between the two versions.
struct Format {
    bool jet3 = false;
    std::size_t pageSize = 4096;
    std::size_t rowCountAt = 12;  // the data page's row count; the row offsets follow it

    explicit Format(JetVersion version)
        : jet3(version == JetVersion::Jet3),
          pageSize(jet3 ? 2048 : 4096),
          rowCountAt(jet3 ? 8 : 12) {}
    // The most one row can hold on a page of its own.
    std::size_t rowCapacity() const { return pageSize - rowCountAt - 2 - 2; }
};

// A row pointer as Jet keeps it: page number above, row number in the low byte.
std::uint32_t pageRow(std::uint32_t page, std::size_t row) {
    return (page << 8) | std::uint32_t(row);
}

// A data or long-value page, filled with rows from its end towards its start.
class RowPage {
public:
    RowPage(const Format& format, std::uint32_t number, Bytes owner)
        : m_format(format), m_number(number), m_owner(std::move(owner)) {}

    std::uint32_t number() const { return m_number; }
    bool fits(std::size_t length) const {
        return m_format.rowCountAt + 2 + 2 * (m_rows.size() + 1) + m_used + length <=
               m_format.pageSize;
    }
    // The row's number on the page.
    std::size_t add(Bytes row, bool deleted = false) {
        if (!fits(row.size())) {
            refuse("a row of " + std::to_string(row.size()) + " bytes does not fit a page");
        }
        m_used += row.size();
        m_rows.push_back(std::move(row));
        m_deleted.push_back(deleted);
        return m_rows.size() - 1;
    }
    Bytes render() const {
        Bytes page(m_format.pageSize, '\0');
        page[0] = 0x01;
        page[1] = 0x01;
        const std::size_t offsetsEnd = m_format.rowCountAt + 2 + 2 * m_rows.size();
        put16(page, 2, std::uint32_t(m_format.pageSize - offsetsEnd - m_used));
        page.replace(4, 4, m_owner);
        put16(page, m_format.rowCountAt, std::uint32_t(m_rows.size()));
        std::size_t end = m_format.pageSize;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            const std::size_t start = end - m_rows[i].size();
            page.replace(start, m_rows[i].size(), m_rows[i]);
            put16(page, m_format.rowCountAt + 2 + 2 * i,
                  std::uint32_t(start) | (m_deleted[i] ? 0x4000u : 0u));
            end = start;
        }
        return page;
    }

private:
    Format m_format;
    std::uint32_t m_number;
    Bytes m_owner;  // the table definition's page number, or "LVAL"
    std::vector<Bytes> m_rows;
    std::vector<bool> m_deleted;
    std::size_t m_used = 0;
};

// Every page of the file, in order; pages are taken as they are needed.
class PageFile {
public:
    explicit PageFile(const Format& format) : m_format(format) {}

    std::uint32_t take() {
        m_pages.emplace_back(m_format.pageSize, '\0');
        return std::uint32_t(m_pages.size() - 1);
    }
    Bytes& page(std::uint32_t number) { return m_pages.at(number); }
    // A new page that rows are added to; it is laid out when the file is written.
    RowPage& rowPage(Bytes owner) {
        m_rowPages.push_back(std::make_unique<RowPage>(m_format, take(), std::move(owner)));
        return *m_rowPages.back();
    }
    void write(const std::string& path) {
        for (const auto& rows : m_rowPages) {
            m_pages.at(rows->number()) = rows->render();
        }
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const Bytes& page : m_pages) {
            out.write(page.data(), std::streamsize(page.size()));
        }
        if (!out.flush()) {
            throw std::runtime_error("the Jet writer could not write " + path);
        }
    }

private:
    Format m_format;
    std::vector<Bytes> m_pages;
    std::vector<std::unique_ptr<RowPage>> m_rowPages;
};

// Text as the file keeps it: Jet 4 in UCS-2, compressed where that is shorter, Jet 3 in
// the file's code page.
class TextCoder {
public:
    TextCoder(const Format& format, int codePage) : m_jet3(format.jet3) {
        if (m_jet3) {
            const std::string name = "CP" + std::to_string(codePage);
            m_iconv = ::iconv_open(name.c_str(), "UTF-8");
            if (m_iconv == iconv_t(-1)) {
                refuse("the code page " + name + " is unknown");
            }
        }
    }
    ~TextCoder() {
        if (m_iconv != iconv_t(-1)) {
            ::iconv_close(m_iconv);
        }
    }
    TextCoder(const TextCoder&) = delete;
    TextCoder& operator=(const TextCoder&) = delete;

    static std::vector<std::uint16_t> units(const std::string& text) {
        std::vector<std::uint16_t> out;
        std::string_view rest = text;
        while (!rest.empty()) {
            std::uint32_t code = 0;
            const std::size_t length = Utf8SequenceLength(rest, code);
            if (length == 0) {
                refuse("the text is not UTF-8");
            }
            if (code > 0xFFFF) {
                refuse("UCS-2 has no place for U+" + std::to_string(code));
            }
            out.push_back(std::uint16_t(code));
            rest.remove_prefix(length);
        }
        return out;
    }

    Bytes value(const std::string& text) const { return m_jet3 ? codePage(text) : jet4(text); }

    // Names of tables and columns: Jet 4 keeps them uncompressed.
    Bytes name(const std::string& text) const {
        if (m_jet3) {
            return codePage(text);
        }
        Bytes out;
        for (std::uint16_t unit : units(text)) {
            append16(out, unit);
        }
        return out;
    }

private:
    Bytes codePage(const std::string& text) const {
        Bytes out(text.size() * 4 + 4, '\0');
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char* at = out.data();
        std::size_t outLeft = out.size();
        ::iconv(m_iconv, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(m_iconv, &in, &inLeft, &at, &outLeft) == std::size_t(-1)) {
            refuse("\"" + text + "\" has a character its code page lacks");
        }
        out.resize(out.size() - outLeft);
        return out;
    }

    // The compressed form starts with FF FE; a zero byte switches between one byte per
    // character (those below U+0100) and two. A character whose low byte is zero cannot
    // be told from a switch, so text holding one stays uncompressed.
    static Bytes jet4(const std::string& text) {
        const std::vector<std::uint16_t> all = units(text);
        Bytes plain;
        for (std::uint16_t unit : all) {
            append16(plain, unit);
        }
        const bool compressible =
            std::none_of(all.begin(), all.end(), [](std::uint16_t u) { return (u & 0xFF) == 0; });
        if (!compressible || all.empty()) {
            return plain;
        }
        Bytes packed("\xFF\xFE", 2);
        bool oneByte = true;
        for (std::uint16_t unit : all) {
            const bool small = unit < 0x100;
            if (small != oneByte) {
                packed.push_back('\0');
                oneByte = small;
            }
            if (small) {
                packed.push_back(char(unit));
            } else {
                append16(packed, unit);
            }
        }
        return packed.size() < plain.size() ? packed : plain;
    }

    bool m_jet3;
    iconv_t m_iconv = iconv_t(-1);
};

enum class Kind { Text, Memo, Integer, LongInteger, LongBinary };

struct Column {
    std::string name;
    Kind kind = Kind::Text;
    int length = 0;

    std::uint8_t typeCode() const {
        switch (kind) {
            case Kind::Text:
                return 0x0A;
            case Kind::Memo:
                return 0x0C;
            case Kind::Integer:
                return 0x03;
            case Kind::LongInteger:
                return 0x04;
            case Kind::LongBinary:
                break;
        }
        return 0x0B;
    }
    bool fixed() const { return kind == Kind::Integer || kind == Kind::LongInteger; }
    std::size_t fixedSize() const { return kind == Kind::Integer ? 2 : 4; }
    bool text() const { return kind == Kind::Text || kind == Kind::Memo; }
};

Kind kindOf(JetType type) {
    switch (type) {
        case JetType::Text:
            return Kind::Text;
        case JetType::Memo:
            return Kind::Memo;
        case JetType::Integer:
            return Kind::Integer;
        case JetType::LongInteger:
            break;
    }
    return Kind::LongInteger;
}

struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<std::vector<JetCell>> rows;
    std::vector<std::vector<JetCell>> deletedRows;
    bool system = false;
};

// Long texts that do not stay in their row: one long-value row, or a chain of them each
// starting with the next one's row pointer.
class LongValues {
public:
    LongValues(PageFile& file, const Format& format) : m_file(file), m_format(format) {}

    // The memo field's 12 bytes, followed by the text itself when it stays in the row.
    Bytes field(const Bytes& text, std::size_t inRowLimit) {
        Bytes field;
        if (text.size() > 0xFFFFFF) {
            refuse("a long text of more than 16 MB");
        }
        std::uint32_t flags = 0;
        std::uint32_t pointer = 0;
        if (text.size() <= inRowLimit) {
            flags = 0x80;
        } else if (text.size() <= m_format.rowCapacity()) {
            flags = 0x40;
            pointer = place(text);
        } else {
            pointer = chain(text);
        }
        append32(field, std::uint32_t(text.size()) | (flags << 24));
        append32(field, pointer);
        append32(field, 0);
        if (flags == 0x80) {
            field += text;
        }
        return field;
    }

private:
    std::uint32_t place(Bytes row) {
        if (!m_page || !m_page->fits(row.size())) {
            m_page = &m_file.rowPage("LVAL");
        }
        const std::size_t number = m_page->add(std::move(row));
        return pageRow(m_page->number(), number);
    }
    // Written from the last piece back, so each piece knows where the next one lies.
    std::uint32_t chain(const Bytes& text) {
        const std::size_t piece = m_format.rowCapacity() - 4;
        std::vector<Bytes> pieces;
        for (std::size_t at = 0; at < text.size(); at += piece) {
            pieces.push_back(text.substr(at, piece));
        }
        std::uint32_t next = 0;
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
            Bytes row;
            append32(row, next);
            row += *it;
            next = place(std::move(row));
        }
        return next;
    }

    PageFile& m_file;
    Format m_format;
    RowPage* m_page = nullptr;
};

class Writer {
public:
    Writer(const JetFileOptions& options)
        : m_options(options),
          m_format(options.version),
          m_file(m_format),
          m_coder(m_format, options.codePage),
          m_long(m_file, m_format) {}

    void write(const std::string& path, const std::vector<JetTable>& tables) {
        writeHeader(m_file.take());
        m_mapPage = &m_file.rowPage(Bytes(4, '\0'));            // page 1: the tables' usage maps
        const std::uint32_t catalogDefinition = m_file.take();  // always page 2
        std::vector<std::vector<JetCell>> catalogRows;
        catalogRows.push_back(catalogRow(catalogDefinition, "MSysObjects", true));
        std::vector<std::pair<Table, std::uint32_t>> written;
        for (const JetTable& given : tables) {
            Table table{given.name, {}, given.rows, given.deletedRows, false};
            for (const JetColumn& column : given.columns) {
                table.columns.push_back({column.name, kindOf(column.type), column.length});
            }
            const std::uint32_t definition = m_file.take();
            writeTable(table, definition);
            catalogRows.push_back(catalogRow(definition, table.name, false));
        }
        Table catalog{"MSysObjects", catalogColumns(), catalogRows, {}, true};
        writeTable(catalog, catalogDefinition);
        m_file.write(path);
    }

private:
    static std::vector<Column> catalogColumns() {
        return {{"Id", Kind::LongInteger, 0},    {"ParentId", Kind::LongInteger, 0},
                {"Name", Kind::Text, 255},       {"Type", Kind::Integer, 0},
                {"Flags", Kind::LongInteger, 0}, {"LvProp", Kind::LongBinary, 0}};
    }
    static std::vector<JetCell> catalogRow(std::uint32_t page, const std::string& name,
                                           bool system) {
        // Type 1 is a table; system tables carry the flag 0x80000002.
        return {std::to_string(page),         "251658241", name, "1",
                system ? "-2147483646" : "0", std::nullopt};
    }

    void writeHeader(std::uint32_t number) {
        Bytes& page = m_file.page(number);
        page.replace(0, 4, Bytes("\x00\x01\x00\x00", 4));
        page.replace(4, 16, Bytes("Standard Jet DB\0", 16));
        put32(page, 0x14, m_format.jet3 ? 0 : 1);
        // The rest of the header is kept behind a fixed RC4 key; inside it, the code
        // page, a database key of 0 (pages not encrypted) and the sort order.
        const std::size_t secretLength = m_format.jet3 ? 126 : 128;
        Bytes secret(secretLength, '\0');
        put16(secret, 0x3C - 0x18, std::uint32_t(m_options.codePage));
        put16(secret, (m_format.jet3 ? 0x3A : 0x6E) - 0x18, 0x0409);
        const std::array<std::uint8_t, 4> key = {0xC7, 0xDA, 0x39, 0x6B};
        std::array<std::uint8_t, 256> state{};
        for (std::size_t i = 0; i < state.size(); ++i) {
            state[i] = std::uint8_t(i);
        }
        for (std::size_t i = 0, j = 0; i < state.size(); ++i) {
            j = (j + state[i] + key[i % key.size()]) & 0xFF;
            std::swap(state[i], state[j]);
        }
        for (std::size_t n = 0, i = 0, j = 0; n < secret.size(); ++n) {
            i = (i + 1) & 0xFF;
            j = (j + state[i]) & 0xFF;
            std::swap(state[i], state[j]);
            secret[n] = char(std::uint8_t(secret[n]) ^ state[(state[i] + state[j]) & 0xFF]);
        }
        page.replace(0x18, secretLength, secret);
    }

    struct Layout {
        std::vector<std::size_t> fixedOffset;  // per column, for fixed ones
        std::vector<std::size_t> varIndex;     // per column, for variable ones
        std::size_t fixedSize = 0;
        std::size_t varCount = 0;
    };

    static Layout layoutOf(const Table& table) {
        Layout layout;
        for (const Column& column : table.columns) {
            layout.fixedOffset.push_back(column.fixed() ? layout.fixedSize : 0);
            layout.varIndex.push_back(column.fixed() ? 0 : layout.varCount);
            if (column.fixed()) {
                layout.fixedSize += column.fixedSize();
            } else {
                ++layout.varCount;
            }
        }
        return layout;
    }

    Bytes cellBytes(const Column& column, const std::string& value) {
        if (column.fixed()) {
            long number = 0;
            try {
                number = std::stol(value);
            } catch (const std::exception&) {
                refuse("\"" + value + "\" is not a number for " + column.name);
            }
            Bytes bytes;
            if (column.kind == Kind::Integer) {
                append16(bytes, std::uint32_t(number) & 0xFFFF);
            } else {
                append32(bytes, std::uint32_t(number));
            }
            return bytes;
        }
        if (column.kind == Kind::LongBinary) {
            refuse("long binary values");
        }
        if (column.kind == Kind::Text &&
            TextCoder::units(value).size() > std::size_t(column.length)) {
            refuse("\"" + value + "\" is longer than " + column.name + " holds");
        }
        const Bytes text = m_coder.value(value);
        return column.kind == Kind::Memo ? m_long.field(text, m_options.longTextInRow) : text;
    }

    Bytes encodeRow(const Table& table, const Layout& layout, const std::vector<JetCell>& cells) {
        if (cells.size() != table.columns.size()) {
            refuse("a row of " + std::to_string(cells.size()) + " cells in a table of " +
                   std::to_string(table.columns.size()) + " columns");
        }
        const bool jet3 = m_format.jet3;
        const std::size_t count = table.columns.size();
        Bytes fixed(layout.fixedSize, '\0');
        Bytes variable;
        std::vector<std::size_t> starts(layout.varCount, 0);
        Bytes nulls((count + 7) / 8, '\0');
        const std::size_t head = jet3 ? 1 : 2;
        for (std::size_t c = 0; c < count; ++c) {
            const Column& column = table.columns[c];
            if (!column.fixed()) {
                starts[layout.varIndex[c]] = head + layout.fixedSize + variable.size();
            }
            if (!cells[c]) {
                continue;
            }
            nulls[c / 8] = char(nulls[c / 8] | (1 << (c % 8)));
            const Bytes bytes = cellBytes(column, *cells[c]);
            if (column.fixed()) {
                fixed.replace(layout.fixedOffset[c], bytes.size(), bytes);
            } else {
                variable += bytes;
            }
        }
        Bytes row;
        if (jet3) {
            row.push_back(char(count));
        } else {
            append16(row, std::uint32_t(count));
        }
        row += fixed;
        if (layout.varCount == 0) {
            return row + nulls;
        }
        row += variable;
        const std::size_t eod = row.size();
        if (!jet3) {
            append16(row, std::uint32_t(eod));
            for (std::size_t i = layout.varCount; i-- > 0;) {
                append16(row, std::uint32_t(starts[i]));
            }
            append16(row, std::uint32_t(layout.varCount));
            return row + nulls;
        }
        // Jet 3 keeps offsets in one byte; the jump table says at which variable column
        // each further 256 bytes begin, and has one spare entry when the row's end, not
        // its data, passes a multiple of 256.
        std::vector<std::size_t> offsets = starts;
        offsets.push_back(eod);
        const std::size_t withoutJumps = eod + 1 + layout.varCount + 1 + nulls.size();
        std::size_t jumps = 0;
        while ((withoutJumps + jumps - 1) / 256 != jumps) {
            jumps = (withoutJumps + jumps - 1) / 256;
        }
        if (jumps > eod / 256 + 1 || layout.varCount > 254) {
            refuse("a Jet 3 row of this shape");
        }
        row.push_back(char(eod & 0xFF));
        for (std::size_t i = layout.varCount; i-- > 0;) {
            row.push_back(char(starts[i] & 0xFF));
        }
        for (std::size_t k = jumps; k-- > 0;) {
            const std::size_t threshold = (k + 1) * 256;
            std::size_t first = 0xFF;
            for (std::size_t i = 0; i < offsets.size(); ++i) {
                if (offsets[i] >= threshold) {
                    first = i;
                    break;
                }
            }
            row.push_back(char(first));
        }
        row.push_back(char(layout.varCount));
        return row + nulls;
    }

    // The table's rows on data pages of its own, its usage maps on the map page, and its
    // definition on page `definition`.
    void writeTable(const Table& table, std::uint32_t definition) {
        const Layout layout = layoutOf(table);
        Bytes owner;
        append32(owner, definition);
        std::vector<std::uint32_t> dataPages;
        RowPage* page = nullptr;
        auto add = [&](const std::vector<JetCell>& cells, bool deleted) {
            Bytes row = encodeRow(table, layout, cells);
            if (!page || !page->fits(row.size())) {
                page = &m_file.rowPage(owner);
                dataPages.push_back(page->number());
            }
            page->add(std::move(row), deleted);
        };
        for (const auto& cells : table.rows) {
            add(cells, false);
        }
        for (const auto& cells : table.deletedRows) {
            add(cells, true);
        }
        const std::uint32_t first = dataPages.empty() ? 0 : dataPages.front();
        Bytes used(1, '\0');
        append32(used, first);
        const std::uint32_t span = dataPages.empty() ? 0 : dataPages.back() - first + 1;
        Bytes bits((span + 7) / 8 + 1, '\0');
        for (std::uint32_t number : dataPages) {
            const std::uint32_t bit = number - first;
            bits[bit / 8] = char(bits[bit / 8] | (1 << (bit % 8)));
        }
        used += bits;
        Bytes free(1, '\0');
        append32(free, first);
        free.push_back('\0');
        const std::uint32_t usedAt = placeMap(std::move(used));
        const std::uint32_t freeAt = placeMap(std::move(free));
        writeDefinition(table, layout, definition, usedAt, freeAt);
    }

    std::uint32_t placeMap(Bytes map) {
        if (map.size() > m_format.rowCapacity()) {
            refuse("a table on more pages than one usage map covers");
        }
        if (!m_mapPage->fits(map.size())) {
            m_mapPage = &m_file.rowPage(Bytes(4, '\0'));
        }
        const std::size_t row = m_mapPage->add(std::move(map));
        return pageRow(m_mapPage->number(), row);
    }

    void writeDefinition(const Table& table, const Layout& layout, std::uint32_t number,
                         std::uint32_t usedMap, std::uint32_t freeMap) {
        const bool jet3 = m_format.jet3;
        Bytes page(jet3 ? 43 : 63, '\0');
        page[0] = 0x02;
        page[1] = 0x01;
        if (jet3) {
            page[2] = 'V';
            page[3] = 'C';
        }
        const std::uint32_t count = std::uint32_t(table.columns.size());
        put32(page, jet3 ? 12 : 16, std::uint32_t(table.rows.size()));
        const std::size_t at = jet3 ? 20 : 40;  // the table's kind; the rest follows it
        page[at] = char(table.system ? 0x53 : 0x4E);
        put16(page, at + 1, count);
        put16(page, at + 3, std::uint32_t(layout.varCount));
        put16(page, at + 5, count);
        put32(page, at + 7, 0);   // logical indexes
        put32(page, at + 11, 0);  // index entries
        put32(page, at + 15, usedMap);
        put32(page, at + 19, freeMap);
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const Column& column = table.columns[c];
            Bytes entry(jet3 ? 18 : 25, '\0');
            entry[0] = char(column.typeCode());
            const std::size_t numberAt = jet3 ? 1 : 5;
            put16(entry, numberAt, std::uint32_t(c));
            put16(entry, numberAt + 2, std::uint32_t(layout.varIndex[c]));
            put16(entry, numberAt + 4, std::uint32_t(c));
            if (column.text()) {
                put16(entry, numberAt + 6, 0x0409);  // the general sort order
                if (jet3) {
                    put16(entry, numberAt + 8, std::uint32_t(m_options.codePage));
                }
            }
            const std::size_t flagsAt = jet3 ? 13 : 15;
            entry[flagsAt] = char(column.fixed() ? 0x03 : 0x02);
            if (!jet3 && column.text()) {
                entry[16] = 0x01;  // compressed Unicode
            }
            std::uint32_t size = 0;
            if (column.fixed()) {
                size = std::uint32_t(column.fixedSize());
                put16(entry, jet3 ? 14 : 21, std::uint32_t(layout.fixedOffset[c]));
            } else if (column.kind == Kind::Text) {
                size = std::uint32_t(column.length) * (jet3 ? 1 : 2);
            }
            put16(entry, jet3 ? 16 : 23, size);
            page += entry;
        }
        for (const Column& column : table.columns) {
            const Bytes name = m_coder.name(column.name);
            if (jet3) {
                page.push_back(char(name.size()));
            } else {
                append16(page, std::uint32_t(name.size()));
            }
            page += name;
        }
        append16(page, 0xFFFF);  // no variable columns with maps of their own
        if (page.size() > m_format.pageSize) {
            refuse("a table definition longer than a page");
        }
        put32(page, 8, std::uint32_t(page.size() - 8));
        if (!jet3) {
            put16(page, 2, std::uint32_t(m_format.pageSize - page.size()));
        }
        page.resize(m_format.pageSize, '\0');
        m_file.page(number) = page;
    }

    JetFileOptions m_options;
    Format m_format;
    PageFile m_file;
    TextCoder m_coder;
    LongValues m_long;
    RowPage* m_mapPage = nullptr;
};

}  // namespace

std::vector<JetColumn> LibraryColumns() {
    return {
        {"cddbToc", JetType::Text, 250},   {"trkNum", JetType::Text, 10},
        {"trkTime", JetType::Text, 10},    {"trkTitle", JetType::Text, 250},
        {"trkArtist", JetType::Text, 250}, {"Album", JetType::Text, 250},
        {"Rating", JetType::Integer, 0},   {"Cover", JetType::Text, 250},
        {"aCom", JetType::Memo, 0},        {"trkCom", JetType::Memo, 0},
    };
}

void WriteJetFile(const std::string& path, const std::vector<JetTable>& tables,
                  const JetFileOptions& options) {
    Writer(options).write(path, tables);
}

}  // namespace sonarch::testing

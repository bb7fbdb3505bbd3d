// Writes small uncompressed MS-CAB cabinets with whatever names a test needs, including
// names no honest cabinet maker would store.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

class CabWriter {
public:
    // `attributes`: the cabinet's attribute bits (0x01 read-only, 0x20 archive).
    CabWriter& Add(const std::string& name, const std::string& content, std::uint16_t attributes = 0x20) {
        files_.push_back({name, content, attributes});
        return *this;
    }

    // False when the cabinet could not be written whole.
    bool Write(const std::string& path) const {
        std::string data, entries;
        for (const auto& [name, content, attributes] : files_) {
            Put32(entries, static_cast<std::uint32_t>(content.size()));
            Put32(entries, static_cast<std::uint32_t>(data.size()));  // offset in folder
            Put16(entries, 0);                                          // folder
            Put16(entries, 0x5821);                                     // 2024-01-01
            Put16(entries, 0);                                          // 00:00:00
            Put16(entries, attributes);
            entries += name;
            entries += '\0';
            data += content;
        }
        std::string blocks;
        std::uint16_t blockCount = 0;
        for (std::size_t at = 0; at < data.size() || blockCount == 0; at += 32768) {
            std::string chunk = data.substr(at, 32768);
            Put32(blocks, 0);  // no checksum
            Put16(blocks, static_cast<std::uint16_t>(chunk.size()));
            Put16(blocks, static_cast<std::uint16_t>(chunk.size()));
            blocks += chunk;
            ++blockCount;
            if (data.empty()) break;
        }
        const std::uint32_t headerSize = 36, folderSize = 8;
        std::uint32_t filesAt = headerSize + folderSize;
        std::uint32_t dataAt = filesAt + static_cast<std::uint32_t>(entries.size());
        std::string cab = "MSCF";
        Put32(cab, 0);
        Put32(cab, dataAt + static_cast<std::uint32_t>(blocks.size()));
        Put32(cab, 0);
        Put32(cab, filesAt);
        Put32(cab, 0);
        cab += '\x03';
        cab += '\x01';
        Put16(cab, 1);  // folders
        Put16(cab, static_cast<std::uint16_t>(files_.size()));
        Put16(cab, 0);  // flags
        Put16(cab, 0x1234);
        Put16(cab, 0);
        Put32(cab, dataAt);
        Put16(cab, blockCount);
        Put16(cab, 0);  // no compression
        std::ofstream out(path, std::ios::binary);
        out << cab << entries << blocks;
        out.close();
        return !out.fail();
    }

private:
    static void Put16(std::string& out, std::uint16_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8);
    }
    static void Put32(std::string& out, std::uint32_t v) {
        Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
        Put16(out, static_cast<std::uint16_t>(v >> 16));
    }
    struct File {
        std::string name, content;
        std::uint16_t attributes;
    };
    std::vector<File> files_;
};

#pragma once
// A small checker for the tests, independent of the program's own workbook
// reader: unzips a workbook (libzip), parses its first worksheet and shared
// strings with libxml2's tree API and gives the cells as UTF-8 text, plus
// what a test wants to know about the sheet (bold title row, frozen pane,
// text-format styles, column widths).

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <zip.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TWorkbookCells {
    std::vector<std::vector<std::string>> rows;  // missing cells are empty
    std::vector<std::string> types;              // the "t" of every cell written
    std::string sheetName;
    std::string sheetXml;
    std::string stylesXml;

    // The zip part `name`, nullopt when missing.
    static std::optional<std::string> Part(const std::filesystem::path& file,
                                           const std::string& name) {
        int error = 0;
        zip_t* zip = zip_open(file.c_str(), ZIP_RDONLY, &error);
        if (zip == nullptr) {
            return std::nullopt;
        }
        std::optional<std::string> text;
        zip_stat_t stat;
        if (zip_stat(zip, name.c_str(), 0, &stat) == 0) {
            zip_file_t* part = zip_fopen(zip, name.c_str(), 0);
            std::string bytes(stat.size, '\0');
            if (part != nullptr &&
                zip_fread(part, bytes.data(), stat.size) == static_cast<zip_int64_t>(stat.size)) {
                text = std::move(bytes);
            }
            if (part != nullptr) {
                zip_fclose(part);
            }
        }
        zip_discard(zip);
        return text;
    }

    // The node's text with the "_xHHHH_" escapes of ASCII characters decoded.
    static std::string Text(xmlNode* node) {
        xmlChar* content = xmlNodeGetContent(node);
        const std::string raw = content != nullptr ? reinterpret_cast<const char*>(content) : "";
        xmlFree(content);
        std::string text;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw.compare(i, 4, "_x00") == 0 && i + 7 <= raw.size() && raw[i + 6] == '_' &&
                std::isxdigit(static_cast<unsigned char>(raw[i + 4])) &&
                std::isxdigit(static_cast<unsigned char>(raw[i + 5]))) {
                text += static_cast<char>(std::stoi(raw.substr(i + 4, 2), nullptr, 16));
                i += 6;
            } else {
                text += raw[i];
            }
        }
        return text;
    }
    static std::string Attribute(xmlNode* node, const char* name) {
        xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
        std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        return text;
    }
    static bool Is(xmlNode* node, const char* name) {
        return node->type == XML_ELEMENT_NODE &&
               xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
    }

    // Reads sheet1 of a workbook with one sheet; empty rows when unreadable.
    static TWorkbookCells Read(const std::filesystem::path& file) {
        TWorkbookCells cells;
        cells.sheetXml = Part(file, "xl/worksheets/sheet1.xml").value_or("");
        cells.stylesXml = Part(file, "xl/styles.xml").value_or("");
        const std::string book = Part(file, "xl/workbook.xml").value_or("");
        const std::size_t name = book.find("<sheet name=\"");
        if (name != std::string::npos) {
            cells.sheetName = book.substr(name + 13, book.find('"', name + 13) - name - 13);
        }
        std::vector<std::string> shared;
        if (const auto strings = Part(file, "xl/sharedStrings.xml")) {
            xmlDoc* doc = xmlReadMemory(strings->data(), static_cast<int>(strings->size()), nullptr,
                                        nullptr, 0);
            for (xmlNode* si = doc ? xmlDocGetRootElement(doc)->children : nullptr; si;
                 si = si->next) {
                if (Is(si, "si")) {
                    shared.push_back(Text(si));
                }
            }
            xmlFreeDoc(doc);
        }
        xmlDoc* doc = xmlReadMemory(cells.sheetXml.data(), static_cast<int>(cells.sheetXml.size()),
                                    nullptr, nullptr, 0);
        if (doc == nullptr) {
            return cells;
        }
        for (xmlNode* part = xmlDocGetRootElement(doc)->children; part; part = part->next) {
            if (!Is(part, "sheetData")) {
                continue;
            }
            for (xmlNode* row = part->children; row; row = row->next) {
                if (!Is(row, "row")) {
                    continue;
                }
                const std::size_t number = std::stoul(Attribute(row, "r"));
                cells.rows.resize(number);
                for (xmlNode* c = row->children; c; c = c->next) {
                    if (!Is(c, "c")) {
                        continue;
                    }
                    const std::string ref = Attribute(c, "r");
                    std::size_t column = 0;
                    for (std::size_t i = 0; i < ref.size() && ref[i] >= 'A'; ++i) {
                        column = column * 26 + static_cast<std::size_t>(ref[i] - 'A' + 1);
                    }
                    std::vector<std::string>& out = cells.rows[number - 1];
                    out.resize(std::max(out.size(), column));
                    const std::string type = Attribute(c, "t");
                    cells.types.push_back(type);
                    const std::string text = Text(c);
                    out[column - 1] = type == "s" ? shared.at(std::stoul(text)) : text;
                }
            }
        }
        xmlFreeDoc(doc);
        return cells;
    }
};

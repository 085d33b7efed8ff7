#include "mail/TDBXParser.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

namespace {

constexpr std::uint64_t kCountOffset = 0xC4;
constexpr std::uint64_t kRootOffset = 0xE4;

// Index tree node.
constexpr std::uint64_t kNodeFirstChild = 0x08;
constexpr std::uint64_t kNodeEntryCount = 0x11;
constexpr std::uint64_t kNodeFirstChildValues = 0x14;
constexpr std::uint64_t kNodeEntries = 0x18;
constexpr std::uint64_t kNodeEntrySize = 12;

// Message information object.
constexpr std::uint64_t kMessageFieldCount = 0x0A;
constexpr std::uint64_t kMessageFields = 0x0C;
constexpr std::uint64_t kMessageField3Id = 0x18;
constexpr std::uint64_t kMessageField3Value = 0x19;
constexpr std::uint64_t kMessageField4Id = 0x1C;

// Message data block.
constexpr std::uint64_t kBlockLength = 0x08;
constexpr std::uint64_t kBlockNext = 0x0C;
constexpr std::uint64_t kBlockText = 0x10;

[[noreturn]] void Fail(const char* utf8Message) {
    throw TKestrifyError(TSjisUnicode::FromUtf8(utf8Message));
}

struct TNode {
    std::uint32_t offset;
    std::uint32_t firstChild;
    std::uint32_t firstChildValues;
    int entries;
    int next;  // -1 while the first child is still to be walked
};

// Reads the fixed fields of the node at `offset`; false when they do not
// lie inside the file.
bool ReadNode(const TMappedFile& file, std::uint32_t offset, TNode& node) {
    std::uint8_t entries = 0;
    node.offset = offset;
    node.next = -1;
    if (!file.ReadU32(std::uint64_t{offset} + kNodeFirstChild, node.firstChild) ||
        !file.ReadU8(std::uint64_t{offset} + kNodeEntryCount, entries) ||
        !file.ReadU32(std::uint64_t{offset} + kNodeFirstChildValues, node.firstChildValues)) {
        return false;
    }
    node.entries = entries;
    return true;
}

}  // namespace

TDBXParser::TDBXParser(const std::string& sjisPath) {
    try {
        file_ = std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath));
    } catch (const TKestrifyError&) {
        // reported by GetCount, like a file whose header cannot be reached
    }
}

TDBXParser::TDBXParser(std::unique_ptr<TMappedFile> file) : file_(std::move(file)) {}

int TDBXParser::GetCount() {
    if (!indexRead_) {
        ReadIndex();
        indexRead_ = true;
    }
    return count_;
}

void TDBXParser::ReadIndex() {
    std::uint32_t count = 0;
    if (!file_ || !file_->ReadU32(kCountOffset, count)) {
        Fail("ファイルが開けません。");
    }
    // The count is a signed field; a negative one lists nothing.
    if (count == 0 || count > 0x7FFFFFFF) {
        return;
    }
    std::uint32_t root = 0;
    if (!file_->ReadU32(kRootOffset, root)) {
        Fail("メールの解析に失敗しました。(1)");
    }
    TNode probe{};
    if (!ReadNode(*file_, root, probe)) {
        Fail("メールの解析に失敗しました。(1)");
    }
    WalkTree(root, count);
    // Indexes past the messages the tree really lists cannot be read.
    count_ = static_cast<int>(std::min<std::size_t>(count, messages_.size()));
    if (messages_.size() < count && Options().warning) {
        // Said once, here: the missing mails are simply not there to fail.
        Options().warning(TSjisUnicode::FromUtf8("DBXファイルの索引には、ヘッダにある " +
                                                 std::to_string(count) + " 通のうち " +
                                                 std::to_string(count_) + " 通しかありません。"));
    }
}

// Depth first, in index order: a node's first child's sub-tree, then each
// entry followed by its own sub-tree. The walk keeps its own stack, so a deep
// tree cannot exhaust the program's; a node reached a second time (a cycle)
// and a node outside the file are not walked again. Stops once `limit`
// messages are listed: later ones could never be asked for.
void TDBXParser::WalkTree(std::uint32_t root, std::size_t limit) {
    std::unordered_set<std::uint32_t> seen;
    std::vector<TNode> stack;
    auto push = [&](std::uint32_t offset) {
        TNode node{};
        if (seen.insert(offset).second && ReadNode(*file_, offset, node)) {
            stack.push_back(node);
        }
    };
    push(root);
    while (!stack.empty() && messages_.size() < limit) {
        TNode& node = stack.back();
        if (node.next < 0) {
            node.next = 0;
            if (node.firstChildValues > 0) {
                push(node.firstChild);
            }
            continue;
        }
        if (node.next >= node.entries) {
            stack.pop_back();
            continue;
        }
        const std::uint64_t entry =
            std::uint64_t{node.offset} + kNodeEntries + kNodeEntrySize * node.next++;
        std::uint32_t message = 0;
        std::uint32_t child = 0;
        std::uint32_t childValues = 0;
        if (!file_->ReadU32(entry, message) || !file_->ReadU32(entry + 4, child) ||
            !file_->ReadU32(entry + 8, childValues)) {
            stack.pop_back();  // the rest of this node lies outside the file
            continue;
        }
        messages_.push_back(message);
        if (childValues > 0) {
            push(child);
        }
    }
}

std::uint32_t TDBXParser::FirstBlock(std::uint32_t message) const {
    const std::uint64_t m = message;
    std::uint8_t field4Id = 0;
    std::uint8_t field3Id = 0;
    if (!file_->ReadU8(m + kMessageField4Id, field4Id) ||
        !file_->ReadU8(m + kMessageField3Id, field3Id)) {
        Fail("メールの読み取りに失敗しました。(1)");
    }
    if ((field4Id & 0x0F) == 4 || (field3Id & 0x0F) != 4) {
        return 0;  // no text stored for this message
    }
    std::uint32_t block = 0;
    if (field3Id & 0x80) {
        // The value sits in the field itself.
        if (!file_->ReadU32(m + kMessageField3Value, block)) {
            Fail("メールの読み取りに失敗しました。(1)");
        }
        return block & 0x00FFFFFF;
    }
    std::uint8_t position = 0;
    std::uint8_t fields = 0;
    if (!file_->ReadU8(m + kMessageField3Value, position)) {
        Fail("メールの読み取りに失敗しました。(2)");
    }
    if (!file_->ReadU8(m + kMessageFieldCount, fields)) {
        Fail("メールの読み取りに失敗しました。(3)");
    }
    if (!file_->ReadU32(m + kMessageFields + 4u * fields + position, block)) {
        Fail("メールの読み取りに失敗しました。(4)");
    }
    return block;
}

// The text of the block chain without its 0 bytes. Blocks are taken
// whole whatever their length, as long as they lie inside the file; a chain
// that loops or holds more text than the file has is damaged.
std::string TDBXParser::BlockChainText(std::uint32_t block) const {
    std::string text;
    std::unordered_set<std::uint32_t> seen;
    while (block != 0) {
        std::uint32_t length = 0;
        std::uint32_t next = 0;
        std::string_view bytes;
        if (!seen.insert(block).second ||
            !file_->ReadU32(std::uint64_t{block} + kBlockLength, length) ||
            !file_->ReadU32(std::uint64_t{block} + kBlockNext, next) ||
            !file_->Read(std::uint64_t{block} + kBlockText, length, bytes) ||
            text.size() + length > file_->Size()) {
            Fail("ファイルの読み取りに失敗しました。");
        }
        // A 0 byte is damage, not the end of the message: it is dropped.
        for (std::size_t nul; (nul = bytes.find('\0')) != std::string_view::npos;) {
            text.append(bytes.substr(0, nul));
            bytes.remove_prefix(nul + 1);
        }
        text.append(bytes);
        block = next;
    }
    return text;
}

std::string TDBXParser::MessageText(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= messages_.size()) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    return BlockChainText(FirstBlock(messages_[static_cast<std::size_t>(index)]));
}

TLines TDBXParser::GetMailLines(int index) {
    return TLineSplitter::Split(MessageText(index));
}

std::unique_ptr<TBasicMail> TDBXParser::GetMail(int index) {
    const std::string text = MessageText(index);
    // One list per thread, reused from mail to mail.
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    TLineSplitter::AppendViews(text, lines);
    return std::make_unique<TMail>(std::span<const std::string_view>(lines), Options(),
                                   TMailOrigin{{}, index + 1});
}

void TDBXParser::AppendRawHeader(int index, std::string& out) {
    const std::string text = MessageText(index);
    // Only the header is cut into lines.
    TLineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line) && !line.empty()) {
        out.append(line).push_back('\n');
    }
}

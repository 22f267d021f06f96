// The "When it says NOT OK" part of both READMEs must hold every sentence the window's panel can
// show while something is wrong, so that a user finds the line on the screen in the text. The
// panel's sources are read as text: a sentence added there and not to the READMEs fails here,
// named.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kSourceDir = QUORVANE_SOURCE_DIR;

// A printf conversion, or a macro such as PRIu64 between two literals: the docs show an example.
constexpr char kField = '\x01';

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The string literals of a C++ source, skipping comments, preprocessor lines and character
// literals; literals separated only by blanks or a macro name (PRIu64) are joined, the macro
// becoming a field.
std::vector<std::string> StringLiterals(const std::string& source) {
    std::vector<std::string> literals;
    bool joinable = false;  // only blanks or a macro since the last literal ended
    for (std::size_t at = 0; at < source.size();) {
        const char c = source[at];
        if (source.compare(at, 2, "//") == 0 || (c == '#' && (at == 0 || source[at - 1] == '\n'))) {
            at = source.find('\n', at);
            if (at == std::string::npos) break;
        } else if (source.compare(at, 2, "/*") == 0) {
            at = source.find("*/", at) + 2;
        } else if (c == '"' || c == '\'') {
            std::string text;
            for (++at; at < source.size() && source[at] != c; ++at) {
                if (source[at] == '\\') ++at;
                text += source[at];
            }
            ++at;
            if (c == '\'') {
                joinable = false;
            } else if (joinable) {
                literals.back() += text;
            } else {
                literals.push_back(text);
                joinable = true;
            }
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = at;
            while (at < source.size() &&
                   (std::isalnum(static_cast<unsigned char>(source[at])) || source[at] == '_')) {
                ++at;
            }
            const bool macro = source.compare(start, 3, "PRI") == 0;
            if (macro && joinable) literals.back() += kField;
            joinable = joinable && macro;
        } else {
            if (!std::isspace(static_cast<unsigned char>(c))) joinable = false;
            ++at;
        }
    }
    return literals;
}

// The sentence with each printf conversion as one field.
std::string WithFields(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            out += text[at];
            continue;
        }
        ++at;
        while (at < text.size() && std::strchr("-+#0123456789.lhz", text[at]) != nullptr) ++at;
        out += kField;  // the conversion letter, or the macro's field, is at `at`
    }
    return out;
}

// The fixed parts between fields, blanks and the ends trimmed.
std::vector<std::string> FixedParts(const std::string& sentence) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream fields(sentence);
    while (std::getline(fields, part, kField)) {
        const std::size_t first = part.find_first_not_of(' ');
        const std::size_t last = part.find_last_not_of(' ');
        if (first != std::string::npos) parts.push_back(part.substr(first, last - first + 1));
    }
    return parts;
}

// Each run of blanks as one space, without markdown's backticks, so a wrapped line matches.
std::string Normalised(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '`') continue;
        const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out += blank ? ' ' : c;
    }
    return out;
}

// Whether the parts appear in `text` in their order.
bool Shows(const std::string& text, const std::vector<std::string>& parts) {
    std::size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos) return false;
        at += part.size();
    }
    return true;
}

// The part of `document` from its heading `from` up to the heading `to`.
std::string Section(const std::string& document, const std::string& from, const std::string& to) {
    const std::size_t start = document.find(from);
    if (start == std::string::npos) return "";
    return Normalised(document.substr(start, document.find(to, start) - start));
}

// Lines shown only while all is well: they belong to the status's other texts.
bool ShownWhenAllIsWell(const std::string& sentence) {
    for (const char* prefix :
         {"Simulator module: connected,", "Bridge: running,", "Bridge: not started yet;"}) {
        if (sentence.rfind(prefix, 0) == 0) return true;
    }
    return sentence == "Add-on: connected.";
}

TEST(NotOkTable, BothReadmesHoldEverySentenceThePanelCanShow) {
    std::vector<std::string> sentences;
    for (const char* file : {"/panel/link_failure_reasons.cpp", "/panel/panel_lines.cpp"}) {
        for (const std::string& literal : StringLiterals(ReadFile(kSourceDir + file))) {
            // Pieces of a sentence (", 100 per second", "tries") start in lower case.
            if (!std::isupper(static_cast<unsigned char>(literal[0]))) continue;
            if (!ShownWhenAllIsWell(literal)) sentences.push_back(WithFields(literal));
        }
    }
    ASSERT_GE(sentences.size(), 25u) << "the panel's sources were not read";

    const struct {
        const char* file;
        std::string section;
    } documents[] = {
        {"README.md",
         Section(ReadFile(kSourceDir + "/README.md"), "### When it says NOT OK", "\n### ")},
        {"docs/user-readme.txt", Section(ReadFile(kSourceDir + "/docs/user-readme.txt"),
                                         "When it says NOT OK\n", "Leaving it running\n")},
    };
    for (const auto& document : documents) {
        ASSERT_FALSE(document.section.empty()) << document.file << " has no NOT OK part";
        for (const std::string& sentence : sentences) {
            std::string shown = sentence;
            for (char& c : shown) c = c == kField ? '_' : c;
            EXPECT_TRUE(Shows(document.section, FixedParts(sentence)))
                << document.file << "'s NOT OK part lacks the panel's sentence \"" << shown
                << "\" (_ is a number or a reason)";
        }
    }
}

}  // namespace

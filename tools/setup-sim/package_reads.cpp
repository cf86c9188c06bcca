#include "setup-sim/package_reads.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "platform/sim/codepage.h"
#include "platform/sim/ini.h"

namespace {

// Separators package authors put between the names of a list that the
// program splits at commas only.
constexpr const char* STRAY_SEPARATORS = ";| /";

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The bytes of a file of the package; "" for a folder or a file that is not there.
std::string file_bytes(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return "";
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// What the program asked one file for, by the names in it.
struct FileAsked {
    const sim::IniDocument* document;
    const std::set<AskedName>* asked;
    std::set<std::string> sections;  // folded, as the profile reader compares them

    FileAsked(const sim::IniDocument* read_document, const std::set<AskedName>* asked_names)
        : document(read_document), asked(asked_names)
    {
        for (const AskedName& name : *asked) sections.insert(sim::ini_folded_name(name.section));
    }

    bool section_asked(const std::string& section) const { return sections.count(sim::ini_folded_name(section)) != 0; }
    bool key_read(const std::string& section, const std::string& key) const
    {
        return std::any_of(asked->begin(), asked->end(), [&](const AskedName& name) {
            return sim::ini_names_equal(name.section, section) && (name.key.empty() || sim::ini_names_equal(name.key, key));
        });
    }
    // The sections the program looked for that the file does not have.
    std::vector<std::string> sections_missed() const
    {
        std::vector<std::string> names;
        for (const AskedName& name : *asked) {
            if (sim::find_section(*document, name.section) == nullptr &&
                std::find(names.begin(), names.end(), name.section) == names.end()) {
                names.push_back(name.section);
            }
        }
        return names;
    }
    // The keys the program read in the section, and those of them it is missing.
    std::vector<std::string> keys_read(const std::string& section, bool missing_only) const
    {
        const sim::IniSection* found = sim::find_section(*document, section);
        std::vector<std::string> names;
        for (const AskedName& name : *asked) {
            if (name.key.empty() || !sim::ini_names_equal(name.section, section)) continue;
            if (missing_only && found != nullptr && sim::find_key(*found, name.key) != nullptr) continue;
            if (std::find(names.begin(), names.end(), name.key) == names.end()) names.push_back(name.key);
        }
        return names;
    }
};

struct Reporter {
    std::string file;  // in the package, as findings name it ("I2C\VxI2C.inf")
    uint32_t code_page;
    std::vector<Finding>* findings;

    // ASCII is the same text in every code page: most names need no conversion.
    std::string text(const std::string& ansi) const
    {
        const bool ascii = std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        return ascii ? ansi : sim::ansi_to_utf8(ansi, code_page);
    }
    void add(const char* severity, const char* kind, uint32_t line, const std::string& subject, const std::string& what)
    {
        findings->push_back({severity, kind, file, line, text(subject), text(what)});
    }
};

// The sections findings of a file already name: the section of each
// finding's subject and every word of its text. The lines of such a section
// go unread because of what that finding tells, which is the one finding of
// the mistake.
std::set<std::string> told_sections(const std::vector<Finding>& findings, const std::string& file)
{
    const auto is_word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    std::set<std::string> names;
    for (const Finding& finding : findings) {
        if (finding.file != file) continue;
        if (finding.subject.rfind('[', 0) == 0) names.insert(finding.subject.substr(1, finding.subject.find(']') - 1));
        for (size_t at = 0; at < finding.text.size();) {
            const size_t end = static_cast<size_t>(
                std::find_if_not(finding.text.begin() + static_cast<std::ptrdiff_t>(at), finding.text.end(), is_word) -
                finding.text.begin());
            if (end > at) names.insert(finding.text.substr(at, end - at));
            at = end + 1;
        }
    }
    return names;
}

// Drops the findings of the file whose subject begins with `subject`: what
// the runs met without a section or key the program looked for follows from
// the one mistake of a name near it, which its own finding tells.
void drop_findings_about(std::vector<Finding>* findings, const std::string& file, const std::string& subject)
{
    findings->erase(std::remove_if(findings->begin(), findings->end(),
                                   [&](const Finding& finding) {
                                       return finding.file == file && finding.subject.rfind(subject, 0) == 0;
                                   }),
                    findings->end());
}

// The parts of a name the program took whole from a list whose line joins
// them with separators the program does not split at ("I2C;PS2").
std::vector<std::string> split_at_stray_separators(const std::string& name)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = name.find_first_of(STRAY_SEPARATORS); ; at = name.find_first_of(STRAY_SEPARATORS, start)) {
        const std::string part = name.substr(start, at == std::string::npos ? std::string::npos : at - start);
        if (!part.empty()) parts.push_back(part);
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

std::vector<std::string> split_at(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        fields.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return fields;
        start = end + 1;
    }
}

// The sections the program looked for under a name that joins sections of
// the file, each with the line of the list that holds it.
void find_joined_names(Reporter& report, const FileAsked& file, std::vector<std::string>* explained)
{
    for (const std::string& missed : file.sections_missed()) {
        const std::vector<std::string> parts = split_at_stray_separators(missed);
        if (parts.size() < 2) continue;
        std::vector<std::string> present;
        for (const std::string& part : parts) {
            if (sim::find_section(*file.document, part) != nullptr) present.push_back("[" + part + "]");
        }
        if (present.empty()) continue;
        for (const sim::IniSection& section : file.document->sections) {
            for (const sim::IniEntry& entry : section.entries) {
                if (entry.comment || !entry.has_value || entry.value.find(missed) == std::string::npos) continue;
                report.add("error", "list-separator", entry.line,
                           "[" + section.name + "] " + entry.name + "=" + entry.value,
                           "holds " + quoted(missed) + ", which Setup.exe reads as one name: it splits this list at "
                           "commas only, so it looks for a section [" + missed +
                               "], which the file does not have, and never reads " + listed(present));
                explained->insert(explained->end(), parts.begin(), parts.end());
                // And the sections those name, which only they lead to.
                for (const std::string& part : parts) {
                    const sim::IniSection* unread = sim::find_section(*file.document, part);
                    for (const sim::IniEntry& named : unread != nullptr ? unread->entries : std::vector<sim::IniEntry>{}) {
                        for (const std::string& field : split_at(named.value, ',')) explained->push_back(field);
                    }
                }
            }
        }
    }
}

// Edits (insert, delete, replace a character, ignoring case) from one name to the other.
size_t edit_distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The name of `candidates` nearest to `name`, "" when none is near: two
// edits (a swap of two letters is two), or a quarter of a long name.
std::string nearest_name(const std::string& name, const std::vector<std::string>& candidates)
{
    size_t best = std::max<size_t>(2, name.size() / 4) + 1;
    std::string nearest;
    for (const std::string& candidate : candidates) {
        // The lengths alone make the distance at least their difference.
        const size_t apart = name.size() > candidate.size() ? name.size() - candidate.size() : candidate.size() - name.size();
        if (apart >= best) continue;
        const size_t distance = edit_distance(name, candidate);
        if (distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest;
}

}  // namespace

std::string listed(const std::vector<std::string>& names)
{
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

void PackageReads::start(CheckSession& session)
{
    trace_.clear();
    session.machine().read_trace = &trace_;
}

void PackageReads::finish(CheckSession& session)
{
    session.machine().read_trace = nullptr;
    for (const sim::FileRead& read : trace_) {
        const std::string file = session.package_file(read.host);
        if (!file.empty()) files_[file].insert({read.section, read.key, read.found});
    }
    trace_.clear();
}

void find_read_problems(const PackageReads& reads, const std::filesystem::path& package,
                        const std::string& settings_file, uint32_t code_page, std::vector<Finding>* findings)
{
    const std::vector<Finding> told_findings = *findings;
    for (const auto& [file, asked] : reads.files()) {
        const std::shared_ptr<const sim::IniDocument> parsed = sim::kept_profile_parse(file_bytes(package / file), code_page);
        const sim::IniDocument& document = *parsed;
        std::string shown = file;
        std::replace(shown.begin(), shown.end(), '/', '\\');
        Reporter report{shown, code_page, findings};
        const FileAsked read(&document, &asked);
        const bool settings = file == settings_file;
        const std::set<std::string> told = told_sections(told_findings, shown);
        // An INF holds sections for Windows' installer, which the program
        // never reads: only a name near one the program missed is a finding.
        std::vector<std::string> explained;
        if (settings) find_joined_names(report, read, &explained);
        const std::vector<std::string> missed_sections = read.sections_missed();
        // Sections never read one after another are told once, from the first.
        const sim::IniSection* unread_first = nullptr;
        const sim::IniSection* unread_last = nullptr;
        size_t unread_after = 0;
        const auto tell_unread = [&]() {
            if (unread_first == nullptr) return;
            report.add("warning", "unread-section", unread_first->line, "[" + unread_first->name + "]",
                       unread_after == 0
                           ? "is never read: no run looks for a section of this name (a custom-request section is "
                             "read only when its name is on the command line, Setup.exe /" + unread_first->name + ")"
                           : "is never read, nor " +
                                 (unread_after == 1 ? std::string("is the section after it, [")
                                                    : "are the " + std::to_string(unread_after) + " sections after it, to [") +
                                 unread_last->name + "]: no run looks for sections of these names (a custom-request "
                                 "section is read only when its name is on the command line)");
            unread_first = nullptr;
            unread_after = 0;
        };
        for (const sim::IniSection& section : document.sections) {
            if (section.name.empty()) continue;
            const std::string header = "[" + section.name + "]";
            const bool asked_for = read.section_asked(section.name);
            const std::string near = asked_for ? std::string() : nearest_name(section.name, missed_sections);
            const bool never_read = !asked_for && near.empty() && settings &&
                                    std::find(explained.begin(), explained.end(), section.name) == explained.end() &&
                                    told.count(report.text(section.name)) == 0;
            if (never_read) {
                if (unread_first == nullptr) {
                    unread_first = &section;
                } else {
                    ++unread_after;
                }
                unread_last = &section;
                continue;
            }
            tell_unread();
            if (!asked_for) {
                if (!near.empty()) {
                    drop_findings_about(findings, shown, "[" + report.text(near) + "]");
                    report.add("error", "unread-section", section.line, header,
                               "is never read: Setup.exe looks for [" + near + "], which the file does not have");
                }
                continue;
            }
            const std::vector<std::string> missed_keys = read.keys_read(section.name, true);
            const bool section_told = told.count(report.text(section.name)) != 0;
            for (const sim::IniEntry& entry : section.entries) {
                if (entry.comment || !entry.has_value || read.key_read(section.name, entry.name)) continue;
                const std::string subject = header + " " + entry.name + "=" + entry.value;
                const std::string near_key = nearest_name(entry.name, missed_keys);
                if (!near_key.empty()) {
                    drop_findings_about(findings, shown, report.text(header + " " + near_key + " (missing)"));
                    report.add("error", "unread-key", entry.line, subject,
                               "is never read: Setup.exe reads " + near_key + " in " + header +
                                   ", which the section does not have, so " + near_key + " takes its default");
                } else if (settings && !section_told) {
                    report.add("warning", "unread-key", entry.line, subject,
                               "is never read: Setup.exe reads only " + listed(read.keys_read(section.name, false)) +
                                   " in " + header);
                }
            }
        }
        tell_unread();
    }
}

void find_name_problems(const std::filesystem::path& package, const std::set<std::string>& opened,
                        std::vector<Finding>* findings)
{
    static constexpr uint32_t ANSI_CODE_PAGES[] = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    // One finding for each name: the first folder (or the file) on a path
    // whose own name is outside ASCII.
    std::set<std::string> names;
    for (const std::string& path : opened) {
        for (size_t start = 0; start < path.size();) {
            const size_t end = std::min(path.find('\\', start), path.size());
            if (std::any_of(path.begin() + static_cast<std::ptrdiff_t>(start), path.begin() + static_cast<std::ptrdiff_t>(end),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
                names.insert(path.substr(0, end));
                break;
            }
            start = end + 1;
        }
    }
    for (const std::string& name : names) {
        std::string host = name;
        std::replace(host.begin(), host.end(), '\\', '/');
        std::error_code error;
        if (!std::filesystem::exists(package / host, error)) continue;
        std::vector<std::string> spelling;
        std::vector<std::string> other;
        for (const uint32_t code_page : ANSI_CODE_PAGES) {
            (sim::converts_exactly(sim::utf8_to_utf16(name), code_page) ? spelling : other).push_back(std::to_string(code_page));
        }
        findings->push_back({"warning", "name-outside-ascii", name, 0, "",
                             "is a name outside ASCII, which Setup.exe opens by its ANSI name: only a Windows whose code "
                             "page spells it can open it" +
                                 (spelling.empty() ? std::string(", and none does") : " (" + listed(spelling) + ")") +
                                 (other.empty() ? std::string() : "; on " + listed(other) + " the run fails")});
    }
}

#include "OutputFolder.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

namespace brindlecue::demo {

namespace fs = std::filesystem;

namespace {

// What every run writes besides its pictures: the app's sandbox, the page and the journals.
const char* const kRunFiles[] = {"container/", "index.html", "events.json", "requests.json"};
// The title of the demo's page, by which the output of a run that kept no list is known.
constexpr const char* kPageTitle = "<title>Brindlecue demo: Shop</title>";

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isFolderName(const std::string& name) {
    return !name.empty() && name.back() == '/';
}

// What the earlier run noted in its list; nullopt when the folder has no list of the demo.
std::optional<std::set<std::string>> listedNames(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_regular_file(dir / OutputFolder::kListName, ec)) return std::nullopt;
    std::istringstream lines(readText(dir / OutputFolder::kListName));
    std::string line;
    if (!std::getline(lines, line) || line != OutputFolder::kListHeader) return std::nullopt;
    std::set<std::string> names;
    while (std::getline(lines, line))
        if (OutputFolder::isPlainName(line)) names.insert(line);
    return names;
}

// What a run that kept no list wrote, read from its page: the page, the journals, the sandbox and
// the pictures the page shows. nullopt when the folder has no page of the demo.
std::optional<std::set<std::string>> pageNames(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_regular_file(dir / "index.html", ec)) return std::nullopt;
    const std::string page = readText(dir / "index.html");
    if (page.find(kPageTitle) == std::string::npos) return std::nullopt;
    std::set<std::string> names(std::begin(kRunFiles), std::end(kRunFiles));
    const std::string image = "<img src=\"";
    for (size_t at = page.find(image); at != std::string::npos; at = page.find(image, at)) {
        at += image.size();
        const size_t end = page.find('"', at);
        if (end == std::string::npos) break;
        const std::string name = page.substr(at, end - at);
        if (OutputFolder::isPlainName(name) && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".png") == 0)
            names.insert(name);
    }
    return names;
}

// The entry of the folder that the name stands for, when it is there as what the name says (a
// folder for "name/", anything but a folder otherwise). Links are not followed.
bool present(const fs::path& dir, const std::string& name) {
    std::error_code ec;
    const bool folder = isFolderName(name);
    const auto status = fs::symlink_status(dir / (folder ? name.substr(0, name.size() - 1) : name), ec);
    if (ec || !fs::exists(status)) return false;
    return folder == fs::is_directory(status);
}

fs::path entryPath(const fs::path& dir, const std::string& name) {
    return dir / (isFolderName(name) ? name.substr(0, name.size() - 1) : name);
}

}  // namespace

bool OutputFolder::isPlainName(const std::string& name) {
    const std::string base = isFolderName(name) ? name.substr(0, name.size() - 1) : name;
    if (base.empty() || base.front() == '.') return false;
    return std::all_of(base.begin(), base.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '-';
    });
}

std::optional<OutputFolder> OutputFolder::take(const fs::path& dir, std::string* error) {
    auto fail = [&](const std::string& message) -> std::optional<OutputFolder> {
        if (error) *error = message;
        return std::nullopt;
    };
    std::error_code ec;
    const auto status = fs::status(dir, ec);
    std::set<std::string> earlier;
    if (!fs::exists(status)) {
        if (!fs::create_directories(dir, ec) && ec)
            return fail("cannot make the folder " + dir.string() + ": " + ec.message());
    } else if (!fs::is_directory(status)) {
        return fail(dir.string() + " is not a folder");
    } else {
        std::vector<std::string> entries;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(it->path().filename().string());
        if (ec) return fail("cannot read the folder " + dir.string() + ": " + ec.message());
        std::sort(entries.begin(), entries.end());
        if (!entries.empty()) {
            auto names = listedNames(dir);
            if (!names) names = pageNames(dir);
            if (!names) {
                return fail(dir.string() + " holds files that no run of the demo wrote (such as \"" +
                            entries.front() +
                            "\"); the demo writes into a new or empty folder, or one it wrote before");
            }
            earlier = std::move(*names);
        }
    }

    // What every run writes must be the earlier run's, or missing.
    for (const char* name : kRunFiles) {
        const bool inTheWay = fs::exists(fs::symlink_status(entryPath(dir, name), ec));
        if (inTheWay && !(earlier.count(name) && present(dir, name)))
            return fail((entryPath(dir, name)).string() + " is in the way: no run of the demo wrote it");
    }
    // Only what the earlier run wrote goes; whatever else the folder holds stays.
    for (const auto& name : earlier) {
        if (!present(dir, name)) continue;
        const fs::path entry = entryPath(dir, name);
        if (isFolderName(name))
            fs::remove_all(entry, ec);
        else
            fs::remove(entry, ec);
        if (ec) return fail("cannot remove " + entry.string() + " of the earlier run: " + ec.message());
    }
    std::ofstream list(dir / kListName, std::ios::binary | std::ios::trunc);
    list << kListHeader << "\n";
    if (!list.flush()) return fail("cannot write " + (dir / kListName).string());
    return OutputFolder(dir);
}

fs::path OutputFolder::add(const std::string& name) {
    if (!isPlainName(name)) return {};
    const fs::path entry = entryPath(dir_, name);
    if (!added_.count(name)) {
        std::error_code ec;
        // Something the run did not write: a file of the user's that the earlier run had not.
        if (fs::exists(fs::symlink_status(entry, ec))) return {};
        std::ofstream list(dir_ / kListName, std::ios::binary | std::ios::app);
        list << name << "\n";
        if (!list.flush()) return {};
        added_.insert(name);
    }
    return entry;
}

}  // namespace brindlecue::demo

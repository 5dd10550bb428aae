// What The Sleuth Kit reads from an image: the deleted entries fls lists and,
// for each, what istat says of it. The independent view our walks are
// compared with.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"

namespace vellum::testing {

struct TskEntry {
  std::string inode, folder, name, shortName, written, size;
  bool directory = false;
  uint64_t firstSector = 0;
  bool hasSectors = false;
};

// Lower-cased, with the deleted mark shown the way The Sleuth Kit shows it.
inline std::string TskNormal(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '$') c = '_';
  }
  return s;
}

inline std::string TskField(const std::string& text, const std::string& key) {
  const size_t at = text.find(key);
  if (at == std::string::npos) return {};
  const size_t end = text.find('\n', at);
  return text.substr(at + key.size(), end - at - key.size());
}

// Every entry of `fls -rd -p`, with istat's size, short name, written time
// ("YYYY/MM/DD hh:mm:ss") and first sector.
inline std::vector<TskEntry> ReadTskDeleted(const std::string& image) {
  std::vector<TskEntry> entries;
  std::istringstream lines(RunCommand("fls -rd -p '" + image + "'"));
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':'), tab = line.find('\t');
    if (colon == std::string::npos || tab == std::string::npos) continue;
    const size_t space = line.rfind(' ', colon);
    const std::string inode = line.substr(space + 1, colon - space - 1);
    const std::string path = line.substr(tab + 1);
    TskEntry e;
    e.inode = inode;
    const size_t slash = path.rfind('/');
    e.folder = slash == std::string::npos ? "" : path.substr(0, slash);
    e.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    e.directory = line.starts_with("d/d");
    const std::string stat = RunCommand("istat '" + image + "' " + inode);
    e.size = TskField(stat, "Size: ");
    e.shortName = TskField(stat, "Name: ");
    e.written = TskField(stat, "Written:\t").substr(0, 19);
    for (char& c : e.written)
      if (c == '-') c = '/';
    const std::string sectors = TskField(stat, "Sectors:\n");
    e.hasSectors = !sectors.empty() && sectors[0] >= '0' && sectors[0] <= '9';
    if (e.hasSectors) e.firstSector = std::stoull(sectors);
    entries.push_back(e);
  }
  return entries;
}

}  // namespace vellum::testing

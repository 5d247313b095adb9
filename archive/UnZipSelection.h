// Selection of archive entries by the FileSpec lines: names or wildcard
// patterns ("*" any run, "?" any one character), matched case-insensitively
// for ASCII letters. Either side may hold wildcards.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace unzip {

// Matches A against B; with stripPaths both are cut to their file-name parts
// first. A trailing "." stands for "no extension"; a side without a dot gets
// ".*" when the other side has ".*".
bool WildcardMatch(std::string_view a, std::string_view b, bool stripPaths);

// True when some line selects the name: "*.*" selects everything, any other
// line by WildcardMatch. An empty list selects nothing.
bool MatchesFileSpec(const std::vector<std::string>& fileSpec, std::string_view name, bool stripPaths);

// Every entry is a candidate unless the list names exactly one plain name.
bool SelectsAll(const std::vector<std::string>& fileSpec);

// What the FileSpec setter keeps of a list: no empty lines, "/" turned into
// "\" and each line cut to its file-name part.
std::vector<std::string> NormalizeFileSpec(const std::vector<std::string>& lines);

}  // namespace unzip

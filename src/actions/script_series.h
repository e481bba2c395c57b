#pragma once
// One script over many pictures: the text each picture runs, and the files
// a run writes.
#include <string>
#include <vector>

namespace cw {

// The script for one picture: @PICTURE@ becomes its path, @NAME@ its file
// name without folder and extension, @OUT@ `outFolder`.
std::string scriptForPicture(const std::string& script, const std::string& picture, const std::string& outFolder);

// Why a picture's name cannot go into a script, or empty: a line break
// would start a line of its own and a double quote end a quoted word.
std::string unusablePictureName(const std::string& picture);

// The first line whose words cannot be split or whose command is unknown,
// as a bad line is reported ("line N: ..."); empty when there is none.
std::string firstBadCommand(const std::string& script);

// Whether the script undoes anything (the Un-do button, or a step of the
// undo history): a script that does not need keep nothing for undoing.
bool scriptUndoes(const std::string& script);

// The files the script's `save` and `dump` lines write, as they name them.
std::vector<std::string> scriptOutputs(const std::string& script);

} // namespace cw

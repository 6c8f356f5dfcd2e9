// What the extract and test commands share: the engine form of a path, the selection of
// items by masks, the progress bar fed by the component's events, and Ctrl+C as Cancel.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "archive/component/archiver.h"

class ProgressBar;

// The words after a command: the archive, then masks, with options that take a value
// (`valueOptions`, such as "-p") anywhere; the last of a repeated option counts. False for a
// usage error: an unknown option, an option without its value, or no archive.
struct CommandWords {
  std::string archive;
  std::vector<std::string> masks;
  std::map<std::string, std::string> values;
};
bool ParseCommandWords(const std::vector<std::string>& args, std::initializer_list<std::string> valueOptions,
                       CommandWords& words);

// A path from the command line in the engine's form ('\' separators, UTF-16).
std::u16string EnginePath(const std::string& path);

// Runs `operation` (poExtract or poTest) on the items that `masks` select (all when there is
// none), less those `exclusion` names.
void RunOnSelection(TQuillpack& archiver, const std::vector<std::string>& masks, const std::string& exclusion,
                    TQPProcessOperation operation);

// A stored name as a line of the tool shows it: '/' separators, UTF-8, control characters
// escaped (all of them for a terminal, else only line breaks).
std::string ShownItemName(const std::u16string& name, bool terminal);

// The items the last run tagged; folders count only when `withFolders` (they carry no data).
int TaggedItems(TQuillpack& archiver, bool withFolders);

// What to tell about a directory the engine rebuilt from the local headers (items may be
// missing from it), or nullptr for a directory read as stored.
const char* RebuiltDirectoryNotice(TQPDirectoryState state);

// Feeds the bar from the component's progress events; Ctrl+C, once CatchInterrupt was called,
// becomes the engine's Cancel.
void ConnectProgress(TQuillpack& archiver, ProgressBar& bar);

// While caught, Ctrl+C sets a flag instead of ending the process, so that the engine cancels
// cleanly (the file being written is removed, an existing one being replaced is kept).
void CatchInterrupt();
void ReleaseInterrupt();
bool Interrupted();

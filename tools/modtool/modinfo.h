// What modtool info tells of a module beyond its song pass: the format's
// version and the tracker that wrote it where the file says, the song
// message where the format has one, whether it uses instruments, and the
// instrument and sample names.
#pragma once

#include <string>
#include <vector>

struct SampleEntry {
    std::string name;
    unsigned length = 0;  // frames
    bool looped = false;
};

struct ModuleContents {
    std::string formatVersion;     // XM and IT: "1.04", "2.14"; else empty
    std::string tracker;           // from the header's tracker field or signature
    std::string message;           // IT song message, lines joined with '\n'
    bool usesInstruments = false;  // XM, IT in instrument mode; MOD and S3M have samples only
    std::vector<std::string> instruments;  // names, when usesInstruments
    std::vector<SampleEntry> samples;
};

// Reads the header fields from the file's bytes. Every offset and length is
// checked against the size; a field that is not there stays empty.
void readHeaderFields(const std::string &bytes, const std::string &format, ModuleContents *c);

// Loads the module through the sound library for the names and reads the
// header fields. False with a message when it does not load.
bool readModuleContents(const std::string &file, const std::string &format, ModuleContents *c,
                        std::string *error);

// A JSON string literal: quotes, backslashes and control characters escaped,
// bytes above 127 taken as Latin-1 (the trackers' names are 8-bit text).
std::string jsonString(const std::string &text);

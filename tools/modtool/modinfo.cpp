// Header fields and names of a module for modtool info.
#include "modinfo.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "sound/api/midasdll.h"

namespace {

unsigned u16(const std::string &b, size_t at)
{
    return at + 2 <= b.size() ? unsigned(uint8_t(b[at])) | unsigned(uint8_t(b[at + 1])) << 8 : 0;
}

uint32_t u32(const std::string &b, size_t at)
{
    return at + 4 <= b.size() ? uint32_t(u16(b, at)) | uint32_t(u16(b, at + 2)) << 16 : 0;
}

// A fixed-size text field: up to the first NUL, trailing spaces dropped.
std::string text(const std::string &b, size_t at, size_t size)
{
    if (at >= b.size())
        return "";
    std::string s = b.substr(at, size);
    s = s.substr(0, s.find('\0'));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// A BCD version word as trackers write it: 0x0214 is "2.14".
std::string version(unsigned word)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x.%02x", (word >> 8) & 0xFF, word & 0xFF);
    return buf;
}

std::string s3mTracker(unsigned cwt)
{
    char buf[48];
    const unsigned v = cwt & 0x0FFF;
    switch (cwt >> 12) {
    case 1: std::snprintf(buf, sizeof buf, "Scream Tracker %x.%02x", v >> 8, v & 0xFF); return buf;
    case 2: return "Imago Orpheus";
    case 3: return "Impulse Tracker";
    case 4: return "Schism Tracker";
    case 5: return "OpenMPT";
    default: std::snprintf(buf, sizeof buf, "unknown (0x%04x)", cwt); return buf;
    }
}

std::string itTracker(unsigned cwt)
{
    char buf[48];
    if (cwt >= 0x0100 && cwt <= 0x0217)
        return "Impulse Tracker " + version(cwt);
    if (cwt == 0x0888)
        return "ModPlug Tracker or OpenMPT";
    if (cwt >> 12 == 1)
        return "Schism Tracker";
    if (cwt >> 12 == 5)
        return "OpenMPT";
    std::snprintf(buf, sizeof buf, "unknown (0x%04x)", cwt);
    return buf;
}

std::string modTracker(const std::string &b)
{
    if (b.size() < 1084)
        return "";
    const std::string sig = b.substr(1080, 4);
    for (char c : sig)
        if (c < 0x20 || c > 0x7E)
            return "Soundtracker (15 samples)";
    if (sig == "M.K." || sig == "M!K!")
        return "ProTracker (" + sig + ")";
    if (sig == "FLT4" || sig == "FLT8")
        return "StarTrekker (" + sig + ")";
    if (sig.compare(1, 3, "CHN") == 0 || sig.compare(2, 2, "CH") == 0)
        return "FastTracker or TakeTracker (" + sig + ")";
    return "signature " + sig;
}

}  // namespace

void readHeaderFields(const std::string &b, const std::string &format, ModuleContents *c)
{
    if (format == "XM") {
        c->tracker = text(b, 38, 20);
        if (b.size() >= 60)
            c->formatVersion = version(u16(b, 58));
        c->usesInstruments = true;
    } else if (format == "S3M") {
        if (b.size() >= 0x2A)
            c->tracker = s3mTracker(u16(b, 0x28));
    } else if (format == "IT") {
        if (b.size() < 0xC0)
            return;
        c->tracker = itTracker(u16(b, 0x28));
        c->formatVersion = version(u16(b, 0x2A));
        c->usesInstruments = (u16(b, 0x2C) & 4) != 0;
        const uint32_t length = u16(b, 0x36), offset = u32(b, 0x38);
        if ((u16(b, 0x2E) & 1) && offset < b.size() && length <= b.size() - offset) {
            std::string m = b.substr(offset, length);
            m = m.substr(0, m.find('\0'));
            for (char &ch : m)
                if (ch == '\r')
                    ch = '\n';
            while (!m.empty() && (m.back() == '\n' || m.back() == ' '))
                m.pop_back();
            c->message = m;
        }
    } else if (format == "MOD") {
        c->tracker = modTracker(b);
    }
}

bool readModuleContents(const std::string &file, const std::string &format, ModuleContents *c,
                        std::string *error)
{
    *c = ModuleContents{};
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    readHeaderFields(bytes, format, c);

    MIDASstartup();
    MIDASmodule module = nullptr;
    if (!MIDASrenderInit(MIDAS_RENDER_SILENT, nullptr, nullptr) ||
        !(module = MIDASloadModule(file.c_str()))) {
        *error = MIDASgetErrorMessage(MIDASgetLastError());
        MIDASclose();
        return false;
    }
    ModuleInfo info;
    MIDASmoduleFormat fmt;
    MIDASgetModuleInfo(module, &info);
    MIDASgetModuleFormat(module, &fmt);
    if (c->usesInstruments) {
        InstrumentInfo inst;
        for (unsigned i = 0; i < info.numInstruments; i++)
            c->instruments.push_back(MIDASgetInstrumentInfo(module, int(i), &inst) ? inst.instName
                                                                                   : "");
    }
    MIDASsampleInfo s;
    for (unsigned i = 0; i < fmt.numSamples; i++)
        if (MIDASgetSampleInfo(module, int(i), &s))
            c->samples.push_back({s.name, s.length, s.looped != 0});
    MIDASfreeModule(module);
    MIDASclose();
    return true;
}

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += char(ch);
        } else if (ch == '\n') {
            out += "\\n";
        } else if (ch < 0x20 || ch >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", ch);
            out += buf;
        } else {
            out += char(ch);
        }
    }
    return out + "\"";
}

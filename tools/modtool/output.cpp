// The sound output as modtool reports it.
#include "output.h"

#include "platform/audio/dsp.h"

bool checkRequestedOutput(std::string *error) { return audioDspCheckRequested(error); }

std::string outputDescription(const std::string &deviceName)
{
    if (deviceName.find("No Sound") != std::string::npos)
        return "no sound (neither /dev/dsp nor an ALSA device could be opened)";
    std::string reached = audioDspOutputName();
    return reached.empty() ? deviceName : reached;
}

#include "info_command.h"

#include "source_facts.h"

#include <iostream>

int RunInfo(const std::string& source)
{
    const TSourceFacts facts = ReadSourceFacts(source);
    std::cout << "length_ms: " << facts.LengthMs << '\n'
              << "rate: " << facts.Rate << '\n'
              << "channels: " << facts.Channels << '\n'
              << "format: " << facts.Format << '\n';
    return 0;
}

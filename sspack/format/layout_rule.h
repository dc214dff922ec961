// The layout rule an installer stub must follow so that the installer's own reader, which takes
// the first entry at each resource-directory level, lands on the payload block.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sspack/format/pe_image.h"

// LASTRES holds one resource, the stub's PayloadResourceId (res/resource.h), in one language.
enum { LastResLanguage = 1033, PlaceholderSize = 4 };

// Where the block goes in a stub that follows the rule.
struct PayloadSite {
    uint32_t blockOffset = 0;  // file offset of the LASTRES data (RVA - VirtualAddress + PointerToRawData)
    uint32_t rawEnd = 0;       // end of the resource section's raw data in the file
    bool mayOutgrow = false;   // the raw data end the file, so the block may run on behind them
};

// Every way the image breaks the rule, one message each; empty when the image follows it.
std::vector<std::string> LayoutRuleViolations(const PeImage &image);

// The site of the block; throws ToolError with the first violation.
PayloadSite CheckLayoutRule(const PeImage &image);

// The rule, as the installer's reader relies on it: it reads the optional header of the standard
// size for its format, takes the first ".rsrc" section header, and follows the first entry at each
// of the three directory levels without comparing names. Only a stub whose first entries are
// LASTRES, 1000 and 1033, with that data last in the section, leads it to the block.
#include "sspack/format/layout_rule.h"

#include <cstdio>

#include "res/resource.h"
#include "sspack/tool_error.h"

namespace {

std::string Hex(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", (unsigned long long)value);
    return text;
}

}  // namespace

std::vector<std::string> LayoutRuleViolations(const PeImage &image)
{
    std::vector<std::string> v;
    if (image.optionalHeaderSize != image.StandardOptionalHeaderSize()) {
        v.push_back("optional header is " + std::to_string(image.optionalHeaderSize) + " bytes, the installer reads " +
                    std::to_string(image.StandardOptionalHeaderSize()));
    }
    if (image.resourceSection < 0) {
        v.push_back("no .rsrc section");
        return v;
    }
    const PeSection &rsrc = image.sections[image.resourceSection];
    if (image.resourceDirectoryRva != rsrc.virtualAddress)
        v.push_back("the resource directory does not start the first .rsrc section");
    if ((uint64_t)rsrc.rawPointer + rsrc.rawSize > image.fileSize)
        v.push_back("the .rsrc section's raw data run past the end of the file");
    if (image.resources.empty()) {
        v.push_back("no resources");
        return v;
    }

    const ResourceType &type = image.resources[0];
    if (!(type.key == ResourceKey::Name("LASTRES"))) {
        v.push_back("the first resource type is " + type.key.Text() + ", not \"LASTRES\"");
        return v;
    }
    if (image.resources.size() > 1 && image.resources[1].key.named)
        v.push_back("\"LASTRES\" is not the only named resource type (" + image.resources[1].key.Text() + ")");
    if (type.names.size() != 1 || !(type.names[0].key == ResourceKey::Id(PayloadResourceId))) {
        v.push_back("\"LASTRES\" must hold exactly one resource, id 1000");
        if (type.names.empty()) return v;
    }
    const ResourceName &name = type.names[0];
    if (name.languages.size() != 1 || !(name.languages[0].key == ResourceKey::Id(LastResLanguage))) {
        v.push_back("\"LASTRES\" 1000 must exist in exactly one language, 1033");
        if (name.languages.empty()) return v;
    }
    const ResourceData &data = name.languages[0].data;
    if (data.size != PlaceholderSize)
        v.push_back("the LASTRES placeholder is " + std::to_string(data.size) + " bytes, not 4");
    if (data.rva < rsrc.virtualAddress || (uint64_t)data.rva - rsrc.virtualAddress + data.size > rsrc.rawSize) {
        v.push_back("the LASTRES data at RVA " + Hex(data.rva) + " lie outside the .rsrc raw data");
        return v;
    }
    uint32_t relative = data.rva - rsrc.virtualAddress;
    if (image.resourceTreeEnd > relative)
        v.push_back("resource directory structures lie behind the LASTRES data");
    for (const ResourceType &t : image.resources)
        for (const ResourceName &n : t.names)
            for (const ResourceLanguage &l : n.languages)
                if (&l.data != &data && l.data.size && (uint64_t)l.data.rva + l.data.size > data.rva)
                    v.push_back("the data of resource " + t.key.Text() + "/" + n.key.Text() +
                                " lie behind the LASTRES data, which must be last");
    return v;
}

PayloadSite CheckLayoutRule(const PeImage &image)
{
    std::vector<std::string> v = LayoutRuleViolations(image);
    if (!v.empty()) throw ToolError("stub does not follow the payload layout: " + v[0]);
    const PeSection &rsrc = image.sections[image.resourceSection];
    const ResourceData &data = image.resources[0].names[0].languages[0].data;
    PayloadSite site;
    site.blockOffset = data.rva - rsrc.virtualAddress + rsrc.rawPointer;
    site.rawEnd = rsrc.rawPointer + rsrc.rawSize;
    site.mayOutgrow = site.rawEnd == image.fileSize && image.SectionDataEnd() == site.rawEnd;
    return site;
}

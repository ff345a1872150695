// The font table of the layout ("font.xml"): ids to face, size and style.
#pragma once

#include <map>
#include <string>

namespace vekui {

struct FontSpec {
    std::wstring face;
    int size = 12;          // pixels at 100 %
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool shared = false;
};

class CFontTable {
public:
    void Add(int id, const FontSpec& font, bool isDefault);
    // The font of the id, or the default font for -1 and unknown ids.
    const FontSpec& Get(int id) const;
    int DefaultId() const;
    const std::map<int, FontSpec>& All() const;

private:
    std::map<int, FontSpec> m_fonts;
    int m_default = -1;
};

}  // namespace vekui

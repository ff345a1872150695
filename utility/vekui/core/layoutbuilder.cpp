#include "utility/vekui/core/layoutbuilder.h"

#include <pugixml.hpp>

#include <cstring>
#include <functional>

#include "utility/vekui/core/attrvalue.h"
#include "utility/vekui/core/controls.h"

namespace vekui {
namespace {

// Bounds against hostile layouts; the shipped one nests 6 deep and holds
// about 40 controls.
constexpr int kMaxDepth = 32;
constexpr int kMaxControls = 4096;

std::unique_ptr<CControlUI> CreateControl(std::string_view kind) {
    static const struct { const char* name; std::function<std::unique_ptr<CControlUI>()> make; } kKinds[] = {
        {"Control", [] { return std::make_unique<CControlUI>(); }},
        {"Label", [] { return std::make_unique<CLabelUI>(); }},
        {"Button", [] { return std::make_unique<CButtonUI>(); }},
        {"Option", [] { return std::make_unique<COptionUI>(); }},
        {"Progress", [] { return std::make_unique<CProgressUI>(); }},
        {"RichEdit", [] { return std::make_unique<CRichEditUI>(); }},
        {"Container", [] { return std::make_unique<CContainerUI>(); }},
        {"VerticalLayout", [] { return std::make_unique<CVerticalLayoutUI>(); }},
        {"HorizontalLayout", [] { return std::make_unique<CHorizontalLayoutUI>(); }},
        {"TabLayout", [] { return std::make_unique<CTabLayoutUI>(); }},
    };
    for (const auto& k : kKinds) {
        if (kind == k.name) return k.make();
    }
    return nullptr;
}

class Builder {
public:
    Builder(const ISkinFiles& skin, std::string_view layoutFile, CUiManager& manager, const ControlFactory& factory)
        : m_skin(skin), m_layoutFile(layoutFile), m_manager(manager), m_factory(factory) {}

    bool Run(std::string* error);

private:
    bool Parse(std::string_view file, pugi::xml_document* doc);
    void ReadWindowAttributes(const pugi::xml_node& window);
    void ReadFont(const pugi::xml_node& font);
    bool ReadInclude(const pugi::xml_node& include);
    std::unique_ptr<CControlUI> Build(const pugi::xml_node& node, int depth);
    std::unique_ptr<CControlUI> Make(std::string_view kind) const {
        if (m_factory) {
            if (std::unique_ptr<CControlUI> own = m_factory(kind)) return own;
        }
        return CreateControl(kind);
    }
    bool Fail(std::string reason) {
        if (m_error.empty()) m_error = std::move(reason);
        return false;
    }

    const ISkinFiles& m_skin;
    std::string m_layoutFile;
    CUiManager& m_manager;
    const ControlFactory& m_factory;
    std::string m_error;
    int m_controls = 0;
};

bool Builder::Parse(std::string_view file, pugi::xml_document* doc) {
    std::string data, readError;
    if (!m_skin.Read(file, &data, &readError)) return Fail(std::string(file) + ": " + readError);
    const pugi::xml_parse_result result = doc->load_buffer(data.data(), data.size(), pugi::parse_default,
                                                           pugi::encoding_utf8);
    if (!result) {
        return Fail(std::string(file) + ": not well-formed XML at offset " + std::to_string(result.offset) + ": " +
                    result.description());
    }
    return true;
}

void Builder::ReadWindowAttributes(const pugi::xml_node& window) {
    WindowAttributes& w = m_manager.Window();
    for (const pugi::xml_attribute& a : window.attributes()) {
        const std::string_view name = a.name(), value = a.value();
        if (name == "size") ParseSizeValue(value, &w.size);
        else if (name == "mininfo") ParseSizeValue(value, &w.minInfo);
        else if (name == "caption") ParseRectValue(value, &w.caption);
        else if (name == "sizebox") ParseRectValue(value, &w.sizeBox);
        else if (name == "bktrans") ParseBoolValue(value, &w.bkTrans);
        else if (name == "showshadow") ParseBoolValue(value, &w.showShadow);
        else if (name == "autodpi") ParseBoolValue(value, &w.autoDpi);
        else if (name == "gdiplustext") ParseBoolValue(value, &w.gdiplusText);
        else if (name == "textrenderinghint") ParseIntValue(value, &w.textRenderingHint);
        else if (name == "outlinetext") ParseBoolValue(value, &w.outlineText);
        else if (name == "tooltipbkcolor") ParseColorValue(value, &w.tooltipBkColor);
        else if (name == "tooltiptextcolor") ParseColorValue(value, &w.tooltipTextColor);
    }
}

void Builder::ReadFont(const pugi::xml_node& font) {
    int id = 0;
    if (!ParseIntValue(font.attribute("id").value(), &id)) return;
    FontSpec spec;
    spec.face = Utf8ToUtf16(font.attribute("name").value());
    ParseIntValue(font.attribute("size").value(), &spec.size);
    ParseBoolValue(font.attribute("bold").value(), &spec.bold);
    ParseBoolValue(font.attribute("underline").value(), &spec.underline);
    ParseBoolValue(font.attribute("italic").value(), &spec.italic);
    ParseBoolValue(font.attribute("shared").value(), &spec.shared);
    bool isDefault = false;
    ParseBoolValue(font.attribute("default").value(), &isDefault);
    m_manager.Fonts().Add(id, spec, isDefault);
}

// The included file's <Font> entries, whatever its root element.
bool Builder::ReadInclude(const pugi::xml_node& include) {
    const std::string source = include.attribute("source").value();
    if (source.empty()) return Fail("<Include> without source");
    pugi::xml_document doc;
    if (!Parse(source, &doc)) return false;
    for (const pugi::xml_node& root : doc.children()) {
        if (std::strcmp(root.name(), "Font") == 0) ReadFont(root);
        for (const pugi::xml_node& font : root.children("Font")) ReadFont(font);
    }
    return true;
}

std::unique_ptr<CControlUI> Builder::Build(const pugi::xml_node& node, int depth) {
    if (depth > kMaxDepth) return Fail("controls nest deeper than " + std::to_string(kMaxDepth)), nullptr;
    if (++m_controls > kMaxControls) return Fail("more than " + std::to_string(kMaxControls) + " controls"), nullptr;
    std::unique_ptr<CControlUI> control = Make(node.name());
    for (const pugi::xml_attribute& a : node.attributes()) control->SetAttribute(a.name(), a.value());
    auto* container = dynamic_cast<CContainerUI*>(control.get());
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element || !Make(child.name())) continue;  // unknown: skipped
        std::unique_ptr<CControlUI> built = Build(child, depth + 1);
        if (!built) return nullptr;
        if (container) container->Add(std::move(built));
    }
    return control;
}

bool Builder::Run(std::string* error) {
    pugi::xml_document doc;
    bool ok = Parse(m_layoutFile, &doc);
    const pugi::xml_node window = doc.child("Window");
    if (ok && !window) ok = Fail(m_layoutFile + ": the root element is not <Window>");
    std::unique_ptr<CControlUI> root;
    for (pugi::xml_node child = window.first_child(); ok && child; child = child.next_sibling()) {
        const std::string_view name = child.name();
        if (name == "Include") ok = ReadInclude(child);
        else if (name == "Font") ReadFont(child);
        else if (!root && Make(name)) ok = (root = Build(child, 1)) != nullptr;
    }
    if (ok && !root) ok = Fail(m_layoutFile + ": no control in <Window>");
    if (!ok) {
        if (error) *error = m_error;
        return false;
    }
    ReadWindowAttributes(window);
    m_manager.SetRoot(std::move(root));
    return true;
}

}  // namespace

bool BuildLayout(const ISkinFiles& skin, std::string_view layoutFile, CUiManager& manager, std::string* error,
                 const ControlFactory& factory) {
    return Builder(skin, layoutFile, manager, factory).Run(error);
}

}  // namespace vekui

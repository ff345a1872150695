#include "utility/vekui/core/svg.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstring>

namespace vekui::svg {
namespace {

// Hostile input stays bounded: deeper elements, further points and
// coordinates beyond these are dropped.
constexpr int kMaxDepth = 64;
constexpr size_t kMaxPoints = 1 << 20;
constexpr double kMaxCoordinate = 1e6;
constexpr double kPi = 3.14159265358979323846;

// ---- numbers -------------------------------------------------------------

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipSpaces(std::string_view s, size_t* i) {
    while (*i < s.size() && IsSpace(s[*i])) ++*i;
}
void SkipSeparator(std::string_view s, size_t* i) {
    SkipSpaces(s, i);
    if (*i < s.size() && s[*i] == ',') ++*i;
    SkipSpaces(s, i);
}

// An SVG number without the locale: sign, digits, fraction, exponent. Digits
// past the 18th only shift the magnitude; the exponent is clamped, so the
// value is finite or infinite, never NaN.
bool ReadNumber(std::string_view s, size_t* pos, double* value) {
    size_t i = *pos;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    double mantissa = 0;
    int scale = 0, digits = 0;
    bool any = false;
    for (; i < s.size() && IsDigit(s[i]); ++i, any = true) {
        if (digits < 18) { mantissa = mantissa * 10 + (s[i] - '0'); if (mantissa > 0) ++digits; } else ++scale;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        for (; i < s.size() && IsDigit(s[i]); ++i, any = true) {
            if (digits < 18) { mantissa = mantissa * 10 + (s[i] - '0'); --scale; if (mantissa > 0) ++digits; }
        }
    }
    if (!any) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
        if (j < s.size() && IsDigit(s[j])) {
            int exponent = 0;
            for (; j < s.size() && IsDigit(s[j]); ++j) exponent = std::min(exponent * 10 + (s[j] - '0'), 1000);
            scale += expNegative ? -exponent : exponent;
            i = j;
        }
    }
    double v = mantissa == 0 ? 0 : mantissa * std::pow(10.0, std::max(-700, std::min(700, scale)));
    *value = negative ? -v : v;
    *pos = i;
    return true;
}

// A whole attribute that is one number, with an optional unit.
bool ParseLength(std::string_view text, double* value) {
    size_t i = 0;
    SkipSpaces(text, &i);
    double v;
    if (!ReadNumber(text, &i, &v)) return false;
    std::string_view unit = text.substr(i);
    while (!unit.empty() && IsSpace(unit.back())) unit.remove_suffix(1);
    struct Unit { const char* name; double factor; };
    static const Unit kUnits[] = {{"", 1}, {"px", 1}, {"pt", 96.0 / 72}, {"pc", 16}, {"mm", 96 / 25.4},
                                  {"cm", 96 / 2.54}, {"in", 96}};
    for (const Unit& u : kUnits) {
        if (unit == u.name) {
            v *= u.factor;
            if (!std::isfinite(v) || std::fabs(v) > kMaxCoordinate) return false;
            *value = v;
            return true;
        }
    }
    return false;
}

// Up to max numbers separated by spaces or commas; stops at the first error.
// complete: the whole text was numbers.
size_t ParseNumberList(std::string_view s, double* out, size_t max, bool* complete = nullptr) {
    size_t i = 0, n = 0;
    SkipSpaces(s, &i);
    while (n < max && i < s.size()) {
        if (!ReadNumber(s, &i, &out[n])) break;
        ++n;
        SkipSeparator(s, &i);
    }
    if (complete) *complete = i == s.size();
    return n;
}

// ---- colours -------------------------------------------------------------

struct NamedColor { const char* name; uint32_t rgb; };
const NamedColor kColorNames[] = {
    {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aqua", 0x00FFFF}, {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC}, {"bisque", 0xFFE4C4}, {"black", 0x000000},
    {"blanchedalmond", 0xFFEBCD}, {"blue", 0x0000FF}, {"blueviolet", 0x8A2BE2}, {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00}, {"chocolate", 0xD2691E},
    {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED}, {"cornsilk", 0xFFF8DC}, {"crimson", 0xDC143C},
    {"cyan", 0x00FFFF}, {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkgrey", 0xA9A9A9}, {"darkkhaki", 0xBDB76B},
    {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x556B2F}, {"darkorange", 0xFF8C00}, {"darkorchid", 0x9932CC},
    {"darkred", 0x8B0000}, {"darksalmon", 0xE9967A}, {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F}, {"darkslategrey", 0x2F4F4F}, {"darkturquoise", 0x00CED1},
    {"darkviolet", 0x9400D3}, {"deeppink", 0xFF1493}, {"deepskyblue", 0x00BFFF}, {"dimgray", 0x696969},
    {"dimgrey", 0x696969}, {"dodgerblue", 0x1E90FF}, {"firebrick", 0xB22222}, {"floralwhite", 0xFFFAF0},
    {"forestgreen", 0x228B22}, {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC}, {"ghostwhite", 0xF8F8FF},
    {"gold", 0xFFD700}, {"goldenrod", 0xDAA520}, {"gray", 0x808080}, {"grey", 0x808080}, {"green", 0x008000},
    {"greenyellow", 0xADFF2F}, {"honeydew", 0xF0FFF0}, {"hotpink", 0xFF69B4}, {"indianred", 0xCD5C5C},
    {"indigo", 0x4B0082}, {"ivory", 0xFFFFF0}, {"khaki", 0xF0E68C}, {"lavender", 0xE6E6FA},
    {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00}, {"lemonchiffon", 0xFFFACD}, {"lightblue", 0xADD8E6},
    {"lightcoral", 0xF08080}, {"lightcyan", 0xE0FFFF}, {"lightgoldenrodyellow", 0xFAFAD2},
    {"lightgray", 0xD3D3D3}, {"lightgreen", 0x90EE90}, {"lightgrey", 0xD3D3D3}, {"lightpink", 0xFFB6C1},
    {"lightsalmon", 0xFFA07A}, {"lightseagreen", 0x20B2AA}, {"lightskyblue", 0x87CEFA},
    {"lightslategray", 0x778899}, {"lightslategrey", 0x778899}, {"lightsteelblue", 0xB0C4DE},
    {"lightyellow", 0xFFFFE0}, {"lime", 0x00FF00}, {"limegreen", 0x32CD32}, {"linen", 0xFAF0E6},
    {"magenta", 0xFF00FF}, {"maroon", 0x800000}, {"mediumaquamarine", 0x66CDAA}, {"mediumblue", 0x0000CD},
    {"mediumorchid", 0xBA55D3}, {"mediumpurple", 0x9370DB}, {"mediumseagreen", 0x3CB371},
    {"mediumslateblue", 0x7B68EE}, {"mediumspringgreen", 0x00FA9A}, {"mediumturquoise", 0x48D1CC},
    {"mediumvioletred", 0xC71585}, {"midnightblue", 0x191970}, {"mintcream", 0xF5FFFA},
    {"mistyrose", 0xFFE4E1}, {"moccasin", 0xFFE4B5}, {"navajowhite", 0xFFDEAD}, {"navy", 0x000080},
    {"oldlace", 0xFDF5E6}, {"olive", 0x808000}, {"olivedrab", 0x6B8E23}, {"orange", 0xFFA500},
    {"orangered", 0xFF4500}, {"orchid", 0xDA70D6}, {"palegoldenrod", 0xEEE8AA}, {"palegreen", 0x98FB98},
    {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093}, {"papayawhip", 0xFFEFD5},
    {"peachpuff", 0xFFDAB9}, {"peru", 0xCD853F}, {"pink", 0xFFC0CB}, {"plum", 0xDDA0DD},
    {"powderblue", 0xB0E0E6}, {"purple", 0x800080}, {"rebeccapurple", 0x663399}, {"red", 0xFF0000},
    {"rosybrown", 0xBC8F8F}, {"royalblue", 0x4169E1}, {"saddlebrown", 0x8B4513}, {"salmon", 0xFA8072},
    {"sandybrown", 0xF4A460}, {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE}, {"sienna", 0xA0522D},
    {"silver", 0xC0C0C0}, {"skyblue", 0x87CEEB}, {"slateblue", 0x6A5ACD}, {"slategray", 0x708090},
    {"slategrey", 0x708090}, {"snow", 0xFFFAFA}, {"springgreen", 0x00FF7F}, {"steelblue", 0x4682B4},
    {"tan", 0xD2B48C}, {"teal", 0x008080}, {"thistle", 0xD8BFD8}, {"tomato", 0xFF6347},
    {"turquoise", 0x40E0D0}, {"violet", 0xEE82EE}, {"wheat", 0xF5DEB3}, {"white", 0xFFFFFF},
    {"whitesmoke", 0xF5F5F5}, {"yellow", 0xFFFF00}, {"yellowgreen", 0x9ACD32},
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// #rgb, #rgba, #rrggbb, #rrggbbaa into 0xAARRGGBB.
bool ParseHexColor(std::string_view hex, Color* color) {
    const size_t n = hex.size();
    if (n != 3 && n != 4 && n != 6 && n != 8) return false;
    for (char c : hex) {
        if (HexDigit(c) < 0) return false;
    }
    const bool shortForm = n <= 4;
    uint32_t channels[4] = {0, 0, 0, 255};
    for (size_t k = 0; k < (shortForm ? n : n / 2); ++k) {
        channels[k] = shortForm ? HexDigit(hex[k]) * 17
                                : static_cast<uint32_t>(HexDigit(hex[2 * k]) * 16 + HexDigit(hex[2 * k + 1]));
    }
    *color = channels[3] << 24 | channels[0] << 16 | channels[1] << 8 | channels[2];
    return true;
}

uint32_t ClampChannel(double v) {
    if (!(v > 0)) return 0;
    return v >= 255 ? 255 : static_cast<uint32_t>(v + 0.5);
}

// rgb(r, g, b) and rgba(r, g, b, a), each channel a number or a percentage.
bool ParseFunctionalColor(std::string_view args, bool withAlpha, Color* color) {
    double v[4] = {0, 0, 0, 1};
    size_t i = 0;
    const int count = withAlpha ? 4 : 3;
    for (int k = 0; k < count; ++k) {
        SkipSpaces(args, &i);
        if (!ReadNumber(args, &i, &v[k])) return false;
        if (i < args.size() && args[i] == '%') {
            v[k] = v[k] * (k == 3 ? 1 : 255) / 100;
            ++i;
        }
        SkipSeparator(args, &i);
    }
    SkipSpaces(args, &i);
    if (i != args.size()) return false;
    *color = ClampChannel(v[3] * 255) << 24 | ClampChannel(v[0]) << 16 | ClampChannel(v[1]) << 8 | ClampChannel(v[2]);
    return true;
}

bool ParseColor(std::string_view text, Color* color) {
    text = Trim(text);
    if (!text.empty() && text[0] == '#') return ParseHexColor(text.substr(1), color);
    const size_t open = text.find('(');
    if (open != std::string_view::npos && text.back() == ')') {
        std::string_view name = Trim(text.substr(0, open));
        std::string_view args = text.substr(open + 1, text.size() - open - 2);
        if (EqualsNoCase(name, "rgb")) return ParseFunctionalColor(args, false, color);
        if (EqualsNoCase(name, "rgba")) return ParseFunctionalColor(args, true, color);
        return false;
    }
    if (EqualsNoCase(text, "transparent")) {
        *color = 0;
        return true;
    }
    for (const NamedColor& named : kColorNames) {
        if (EqualsNoCase(text, named.name)) {
            *color = 0xFF000000 | named.rgb;
            return true;
        }
    }
    return false;
}

// ---- transforms ----------------------------------------------------------

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // this × m: m applies first.
    Matrix Times(const Matrix& m) const {
        return {a * m.a + c * m.b, b * m.a + d * m.b, a * m.c + c * m.d, b * m.c + d * m.d,
                a * m.e + c * m.f + e, b * m.e + d * m.f + f};
    }
    void Apply(double x, double y, double* ox, double* oy) const {
        *ox = a * x + c * y + e;
        *oy = b * x + d * y + f;
    }
    double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
};

// One transform function from its name and arguments; false when malformed.
bool TransformFunction(std::string_view name, const double* v, size_t n, Matrix* m) {
    const double rad = n > 0 ? v[0] * kPi / 180 : 0;
    if (name == "matrix" && n == 6) {
        *m = {v[0], v[1], v[2], v[3], v[4], v[5]};
    } else if (name == "translate" && (n == 1 || n == 2)) {
        *m = {1, 0, 0, 1, v[0], n == 2 ? v[1] : 0};
    } else if (name == "scale" && (n == 1 || n == 2)) {
        *m = {v[0], 0, 0, n == 2 ? v[1] : v[0], 0, 0};
    } else if (name == "rotate" && (n == 1 || n == 3)) {
        const double cs = std::cos(rad), sn = std::sin(rad);
        const Matrix r{cs, sn, -sn, cs, 0, 0};
        if (n == 1) {
            *m = r;
        } else {
            *m = Matrix{1, 0, 0, 1, v[1], v[2]}.Times(r).Times(Matrix{1, 0, 0, 1, -v[1], -v[2]});
        }
    } else if (name == "skewX" && n == 1) {
        *m = {1, 0, std::tan(rad), 1, 0, 0};
    } else if (name == "skewY" && n == 1) {
        *m = {1, std::tan(rad), 0, 1, 0, 0};
    } else {
        return false;
    }
    return true;
}

// A transform list; a malformed list is ignored as a whole.
bool ParseTransform(std::string_view s, Matrix* result) {
    Matrix m;
    size_t i = 0;
    for (SkipSpaces(s, &i); i < s.size(); SkipSeparator(s, &i)) {
        const size_t nameStart = i;
        while (i < s.size() && ((s[i] >= 'a' && s[i] <= 'z') || (s[i] >= 'A' && s[i] <= 'Z'))) ++i;
        std::string_view name = s.substr(nameStart, i - nameStart);
        SkipSpaces(s, &i);
        if (name.empty() || i >= s.size() || s[i] != '(') return false;
        const size_t close = s.find(')', i);
        if (close == std::string_view::npos) return false;
        double v[7];
        std::string_view args = s.substr(i + 1, close - i - 1);
        bool complete = false;
        const size_t n = ParseNumberList(args, v, 7, &complete);
        Matrix step;
        if (!complete || !TransformFunction(name, v, n, &step)) return false;
        m = m.Times(step);
        i = close + 1;
    }
    *result = m;
    return true;
}

// ---- outlines ------------------------------------------------------------

// Builds cubic chains in user space; the shape's matrix is applied at the end.
class Outline {
public:
    explicit Outline(size_t* budget) : budget_(budget) {}

    void MoveTo(double x, double y) {
        FinishSubpath();
        current_ = Subpath{};
        Push(x, y);
        startX_ = curX_ = x;
        startY_ = curY_ = y;
    }
    void LineTo(double x, double y) {
        CubicTo(curX_ + (x - curX_) / 3, curY_ + (y - curY_) / 3, x + (curX_ - x) / 3, y + (curY_ - y) / 3, x, y);
    }
    void CubicTo(double x1, double y1, double x2, double y2, double x, double y) {
        if (current_.points.empty()) Push(curX_, curY_);
        Push(x1, y1);
        Push(x2, y2);
        Push(x, y);
        curX_ = x;
        curY_ = y;
    }
    void QuadTo(double qx, double qy, double x, double y) {
        CubicTo(curX_ + 2.0 / 3 * (qx - curX_), curY_ + 2.0 / 3 * (qy - curY_), x + 2.0 / 3 * (qx - x),
                y + 2.0 / 3 * (qy - y), x, y);
    }
    void ArcTo(double rx, double ry, double angle, bool large, bool sweep, double x, double y);
    void Close() {
        if (!current_.points.empty()) {
            current_.closed = true;
            FinishSubpath();
        }
        curX_ = startX_;
        curY_ = startY_;
    }
    double X() const { return curX_; }
    double Y() const { return curY_; }
    bool Full() const { return full_; }

    std::vector<Subpath> Take(const Matrix& m) {
        FinishSubpath();
        for (Subpath& sp : subpaths_) {
            for (PointF& p : sp.points) {
                double x, y;
                m.Apply(p.x, p.y, &x, &y);
                p = {static_cast<float>(x), static_cast<float>(y)};
            }
        }
        return std::move(subpaths_);
    }
    bool Finite(const Matrix& m) const {
        for (const Subpath& sp : subpaths_) {
            for (const PointF& p : sp.points) {
                double x, y;
                m.Apply(p.x, p.y, &x, &y);
                if (!(std::fabs(x) <= kMaxCoordinate && std::fabs(y) <= kMaxCoordinate)) return false;
            }
        }
        return true;
    }

private:
    void Push(double x, double y) {
        if (*budget_ == 0) {
            full_ = true;
            return;
        }
        --*budget_;
        current_.points.push_back({static_cast<float>(x), static_cast<float>(y)});
    }
    void FinishSubpath() {
        // A move alone draws nothing; a budget that ran out keeps the whole
        // segments only.
        std::vector<PointF>& pts = current_.points;
        if (pts.size() >= 4) {
            pts.resize(1 + (pts.size() - 1) / 3 * 3);
            subpaths_.push_back(std::move(current_));
        }
        current_ = Subpath{};
    }

    size_t* budget_;
    bool full_ = false;
    Subpath current_;
    std::vector<Subpath> subpaths_;
    double curX_ = 0, curY_ = 0, startX_ = 0, startY_ = 0;
};

// Endpoint arc to centre form, then cubics of at most a quarter turn each.
void Outline::ArcTo(double rx, double ry, double angle, bool large, bool sweep, double x, double y) {
    const double x0 = curX_, y0 = curY_;
    if (x0 == x && y0 == y) return;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0 || ry == 0) {
        LineTo(x, y);
        return;
    }
    const double phi = std::fmod(angle, 360.0) * kPi / 180;
    const double cs = std::cos(phi), sn = std::sin(phi);
    const double dx = (x0 - x) / 2, dy = (y0 - y) / 2;
    const double x1 = cs * dx + sn * dy, y1 = -sn * dx + cs * dy;
    const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double k = den > 0 && num > 0 ? std::sqrt(num / den) : 0;
    if (large == sweep) k = -k;
    const double cx1 = k * rx * y1 / ry, cy1 = -k * ry * x1 / rx;
    const double cx = cs * cx1 - sn * cy1 + (x0 + x) / 2, cy = sn * cx1 + cs * cy1 + (y0 + y) / 2;
    const double theta1 = std::atan2((y1 - cy1) / ry, (x1 - cx1) / rx);
    double delta = std::atan2((-y1 - cy1) / ry, (-x1 - cx1) / rx) - theta1;
    if (sweep && delta < 0) delta += 2 * kPi;
    if (!sweep && delta > 0) delta -= 2 * kPi;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(delta) || !std::isfinite(rx * ry)) {
        LineTo(x, y);  // radii that under- or overflow
        return;
    }
    const int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(delta) / (kPi / 2) - 1e-9)));
    const double step = delta / segments;
    const double t = 4.0 / 3 * std::tan(step / 4);
    // Points on the unit circle mapped through the ellipse's axes and rotation.
    auto map = [&](double ux, double uy, double* px, double* py) {
        *px = cx + cs * rx * ux - sn * ry * uy;
        *py = cy + sn * rx * ux + cs * ry * uy;
    };
    double a = theta1;
    for (int s = 0; s < segments; ++s) {
        const double b = a + step;
        double p1x, p1y, p2x, p2y, ex, ey;
        map(std::cos(a) - t * std::sin(a), std::sin(a) + t * std::cos(a), &p1x, &p1y);
        map(std::cos(b) + t * std::sin(b), std::sin(b) - t * std::cos(b), &p2x, &p2y);
        if (s == segments - 1) {
            ex = x;
            ey = y;
        } else {
            map(std::cos(b), std::sin(b), &ex, &ey);
        }
        CubicTo(p1x, p1y, p2x, p2y, ex, ey);
        a = b;
    }
}

// ---- path data -----------------------------------------------------------

int ArgumentCount(char command) {
    switch (command) {
        case 'M': case 'L': case 'T': return 2;
        case 'H': case 'V': return 1;
        case 'C': return 6;
        case 'S': case 'Q': return 4;
        case 'A': return 7;
        case 'Z': return 0;
        default: return -1;
    }
}

// A flag of an arc: a single 0 or 1, which may run into the next number.
bool ReadFlag(std::string_view s, size_t* i, double* value) {
    if (*i >= s.size() || (s[*i] != '0' && s[*i] != '1')) return false;
    *value = s[*i] - '0';
    ++*i;
    return true;
}

bool ReadArguments(std::string_view d, size_t* i, char upper, double* v) {
    const int count = ArgumentCount(upper);
    for (int k = 0; k < count; ++k) {
        SkipSeparator(d, i);
        const bool ok = upper == 'A' && (k == 3 || k == 4) ? ReadFlag(d, i, &v[k]) : ReadNumber(d, i, &v[k]);
        if (!ok || !(std::fabs(v[k]) <= kMaxCoordinate)) return false;
    }
    return true;
}

struct PathState {
    char previous = 0;        // the upper-case command before this one
    double ctrlX = 0, ctrlY = 0;  // the last control point, for S and T
};

void ApplyCommand(Outline* o, PathState* st, char upper, bool relative, double* v) {
    const double ox = relative ? o->X() : 0, oy = relative ? o->Y() : 0;
    double cx = 0, cy = 0;
    switch (upper) {
        case 'M': o->MoveTo(v[0] + ox, v[1] + oy); break;
        case 'L': o->LineTo(v[0] + ox, v[1] + oy); break;
        case 'H': o->LineTo(v[0] + ox, o->Y()); break;
        case 'V': o->LineTo(o->X(), v[0] + oy); break;
        case 'C':
            cx = v[2] + ox, cy = v[3] + oy;
            o->CubicTo(v[0] + ox, v[1] + oy, cx, cy, v[4] + ox, v[5] + oy);
            break;
        case 'S': {
            const bool reflect = st->previous == 'C' || st->previous == 'S';
            const double x1 = reflect ? 2 * o->X() - st->ctrlX : o->X(), y1 = reflect ? 2 * o->Y() - st->ctrlY : o->Y();
            cx = v[0] + ox, cy = v[1] + oy;
            o->CubicTo(x1, y1, cx, cy, v[2] + ox, v[3] + oy);
            break;
        }
        case 'Q':
            cx = v[0] + ox, cy = v[1] + oy;
            o->QuadTo(cx, cy, v[2] + ox, v[3] + oy);
            break;
        case 'T': {
            const bool reflect = st->previous == 'Q' || st->previous == 'T';
            cx = reflect ? 2 * o->X() - st->ctrlX : o->X(), cy = reflect ? 2 * o->Y() - st->ctrlY : o->Y();
            o->QuadTo(cx, cy, v[0] + ox, v[1] + oy);
            break;
        }
        case 'A': o->ArcTo(v[0], v[1], v[2], v[3] != 0, v[4] != 0, v[5] + ox, v[6] + oy); break;
        case 'Z': o->Close(); break;
    }
    st->ctrlX = cx;
    st->ctrlY = cy;
    st->previous = upper;
}

// Path data up to its first error, which ends it (what came before stays).
void ParsePathData(std::string_view d, Outline* o) {
    size_t i = 0;
    PathState st;
    char command = 0;
    SkipSpaces(d, &i);
    while (i < d.size() && !o->Full()) {
        const char c = d[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (ArgumentCount(upper) >= 0) {
            if (command == 0 && upper != 'M') return;  // a path starts with a move
            command = c;
            ++i;
        } else if (command == 0 || command == 'Z' || command == 'z') {
            return;  // numbers with no command before them
        }
        const char up = command >= 'a' ? static_cast<char>(command - 'a' + 'A') : command;
        double v[7];
        if (!ReadArguments(d, &i, up, v)) return;
        ApplyCommand(o, &st, up, command >= 'a', v);
        // Further pairs after a move are lines.
        if (command == 'M') command = 'L';
        if (command == 'm') command = 'l';
        SkipSeparator(d, &i);
    }
}

// ---- styles --------------------------------------------------------------

struct Paint {
    bool none = false;
    bool current = false;  // currentColor
    Color color = 0xFF000000;
};

struct Style {
    Paint fill;
    Paint stroke{true};
    Color color = 0xFF000000;
    double fillOpacity = 1, strokeOpacity = 1;
    double opacity = 1;  // the product of the ancestors' and the element's own
    double strokeWidth = 1;
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    double miterLimit = 4;
    FillRule fillRule = FillRule::NonZero;
    bool hidden = false;
};

bool ParsePaint(std::string_view v, Paint* paint) {
    v = Trim(v);
    if (v == "none") {
        *paint = Paint{true};
    } else if (v == "currentColor") {
        *paint = Paint{false, true};
    } else if (v.substr(0, 4) == "url(") {
        // Paint servers are outside the subset: the fallback colour or none.
        const size_t close = v.find(')');
        std::string_view rest = close == std::string_view::npos ? std::string_view() : Trim(v.substr(close + 1));
        Paint fallback{true};
        if (!rest.empty() && rest.substr(0, 4) != "url(") ParsePaint(rest, &fallback);
        *paint = fallback;
    } else {
        Color c;
        if (!ParseColor(v, &c)) return false;
        *paint = Paint{false, false, c};
    }
    return true;
}

double Clamp01(double v) { return v > 0 ? (v < 1 ? v : 1) : 0; }

bool ParseOpacity(std::string_view v, double* out) {
    size_t i = 0;
    v = Trim(v);
    double x;
    if (!ReadNumber(v, &i, &x)) return false;
    if (i < v.size() && v[i] == '%') {
        x /= 100;
        ++i;
    }
    if (i != v.size()) return false;
    *out = Clamp01(x);
    return true;
}

template <typename E, size_t N>
bool ParseKeyword(std::string_view v, const std::pair<const char*, E> (&table)[N], E* out) {
    v = Trim(v);
    for (const auto& entry : table) {
        if (v == entry.first) {
            *out = entry.second;
            return true;
        }
    }
    return false;
}

const std::pair<const char*, LineCap> kCaps[] = {
    {"butt", LineCap::Butt}, {"round", LineCap::Round}, {"square", LineCap::Square}};
const std::pair<const char*, LineJoin> kJoins[] = {
    {"miter", LineJoin::Miter}, {"round", LineJoin::Round}, {"bevel", LineJoin::Bevel}};
const std::pair<const char*, FillRule> kRules[] = {{"nonzero", FillRule::NonZero}, {"evenodd", FillRule::EvenOdd}};

// One property into the element's style; an unknown name or a malformed
// value leaves the inherited one.
void ApplyProperty(std::string_view name, std::string_view value, Style* s, double* ownOpacity) {
    value = Trim(value);
    if (value == "inherit") return;
    double number;
    if (name == "fill") {
        ParsePaint(value, &s->fill);
    } else if (name == "stroke") {
        ParsePaint(value, &s->stroke);
    } else if (name == "color") {
        ParseColor(value, &s->color);
    } else if (name == "fill-opacity") {
        ParseOpacity(value, &s->fillOpacity);
    } else if (name == "stroke-opacity") {
        ParseOpacity(value, &s->strokeOpacity);
    } else if (name == "opacity") {
        ParseOpacity(value, ownOpacity);
    } else if (name == "stroke-width") {
        if (ParseLength(value, &number) && number >= 0) s->strokeWidth = number;
    } else if (name == "stroke-miterlimit") {
        if (ParseLength(value, &number) && number >= 1) s->miterLimit = number;
    } else if (name == "stroke-linecap") {
        ParseKeyword(value, kCaps, &s->cap);
    } else if (name == "stroke-linejoin") {
        ParseKeyword(value, kJoins, &s->join);
    } else if (name == "fill-rule") {
        ParseKeyword(value, kRules, &s->fillRule);
    } else if (name == "display" || name == "visibility") {
        if (value == "none" || value == "hidden" || value == "collapse") s->hidden = true;
    }
}

// Presentation attributes first, then the style attribute over them.
Style ResolveStyle(const pugi::xml_node& node, const Style& parent) {
    Style s = parent;
    s.hidden = false;
    double own = 1;
    for (const pugi::xml_attribute& a : node.attributes()) ApplyProperty(a.name(), a.value(), &s, &own);
    std::string_view css = node.attribute("style").value();
    while (!css.empty()) {
        const size_t end = std::min(css.find(';'), css.size());
        std::string_view decl = css.substr(0, end);
        const size_t colon = decl.find(':');
        if (colon != std::string_view::npos) {
            std::string_view value = decl.substr(colon + 1);
            const size_t bang = value.find('!');
            if (bang != std::string_view::npos) value = value.substr(0, bang);
            ApplyProperty(Trim(decl.substr(0, colon)), value, &s, &own);
        }
        css.remove_prefix(std::min(end + 1, css.size()));
    }
    s.opacity = parent.opacity * own;
    return s;
}

Color WithAlpha(Color c, double alpha) {
    return ClampChannel(ColorAlpha(c) * alpha) << 24 | (c & 0xFFFFFF);
}

// ---- elements ------------------------------------------------------------

double Attr(const pugi::xml_node& node, const char* name, double fallback = 0) {
    double v;
    return ParseLength(node.attribute(name).value(), &v) ? v : fallback;
}

constexpr double kKappa = 0.5522847498307936;  // a quarter circle's cubic handles

void AddEllipse(Outline* o, double cx, double cy, double rx, double ry) {
    o->MoveTo(cx + rx, cy);
    o->CubicTo(cx + rx, cy + ry * kKappa, cx + rx * kKappa, cy + ry, cx, cy + ry);
    o->CubicTo(cx - rx * kKappa, cy + ry, cx - rx, cy + ry * kKappa, cx - rx, cy);
    o->CubicTo(cx - rx, cy - ry * kKappa, cx - rx * kKappa, cy - ry, cx, cy - ry);
    o->CubicTo(cx + rx * kKappa, cy - ry, cx + rx, cy - ry * kKappa, cx + rx, cy);
    o->Close();
}

void AddRect(const pugi::xml_node& n, Outline* o) {
    const double x = Attr(n, "x"), y = Attr(n, "y"), w = Attr(n, "width"), h = Attr(n, "height");
    if (!(w > 0 && h > 0)) return;
    double rx = -1, ry = -1;
    if (!ParseLength(n.attribute("rx").value(), &rx) || rx < 0) rx = -1;
    if (!ParseLength(n.attribute("ry").value(), &ry) || ry < 0) ry = -1;
    if (rx < 0) rx = ry;
    if (ry < 0) ry = rx;
    rx = std::min(std::max(rx, 0.0), w / 2);
    ry = std::min(std::max(ry, 0.0), h / 2);
    if (rx == 0 || ry == 0) {
        o->MoveTo(x, y);
        o->LineTo(x + w, y);
        o->LineTo(x + w, y + h);
        o->LineTo(x, y + h);
        o->Close();
        return;
    }
    const double kx = rx * kKappa, ky = ry * kKappa;
    o->MoveTo(x + rx, y);
    o->LineTo(x + w - rx, y);
    o->CubicTo(x + w - rx + kx, y, x + w, y + ry - ky, x + w, y + ry);
    o->LineTo(x + w, y + h - ry);
    o->CubicTo(x + w, y + h - ry + ky, x + w - rx + kx, y + h, x + w - rx, y + h);
    o->LineTo(x + rx, y + h);
    o->CubicTo(x + rx - kx, y + h, x, y + h - ry + ky, x, y + h - ry);
    o->LineTo(x, y + ry);
    o->CubicTo(x, y + ry - ky, x + rx - kx, y, x + rx, y);
    o->Close();
}

void AddPoints(const pugi::xml_node& n, bool close, Outline* o) {
    std::string_view s = n.attribute("points").value();
    size_t i = 0;
    bool first = true;
    SkipSpaces(s, &i);
    while (i < s.size() && !o->Full()) {
        double x, y;
        if (!ReadNumber(s, &i, &x)) break;
        SkipSeparator(s, &i);
        if (!ReadNumber(s, &i, &y)) break;
        SkipSeparator(s, &i);
        if (!(std::fabs(x) <= kMaxCoordinate && std::fabs(y) <= kMaxCoordinate)) break;
        if (first) o->MoveTo(x, y); else o->LineTo(x, y);
        first = false;
    }
    if (close && !first) o->Close();
}

// The element's outline in user space; false for elements that draw nothing.
bool BuildOutline(const pugi::xml_node& n, std::string_view name, Outline* o) {
    if (name == "rect") {
        AddRect(n, o);
    } else if (name == "circle") {
        const double r = Attr(n, "r");
        if (r > 0) AddEllipse(o, Attr(n, "cx"), Attr(n, "cy"), r, r);
    } else if (name == "ellipse") {
        const double rx = Attr(n, "rx"), ry = Attr(n, "ry");
        if (rx > 0 && ry > 0) AddEllipse(o, Attr(n, "cx"), Attr(n, "cy"), rx, ry);
    } else if (name == "line") {
        o->MoveTo(Attr(n, "x1"), Attr(n, "y1"));
        o->LineTo(Attr(n, "x2"), Attr(n, "y2"));
    } else if (name == "polyline" || name == "polygon") {
        AddPoints(n, name == "polygon", o);
    } else if (name == "path") {
        ParsePathData(n.attribute("d").value(), o);
    } else {
        return false;
    }
    return true;
}

class Builder {
public:
    explicit Builder(Document* doc) : doc_(doc) {}

    void Walk(const pugi::xml_node& node, const Style& parent, const Matrix& parentMatrix, int depth) {
        for (const pugi::xml_node& child : node.children()) {
            if (child.type() != pugi::node_element) continue;
            std::string_view name = LocalName(child.name());
            Style style = ResolveStyle(child, parent);
            if (style.hidden) continue;
            Matrix local;
            if (!ParseTransform(child.attribute("transform").value(), &local)) local = Matrix{};
            const Matrix m = parentMatrix.Times(local);
            if (name == "g" || name == "a") {
                if (depth < kMaxDepth) Walk(child, style, m, depth + 1);
            } else {
                AddShape(child, name, style, m);
            }
        }
    }

    static std::string_view LocalName(std::string_view name) {
        const size_t colon = name.find(':');
        return colon == std::string_view::npos ? name : name.substr(colon + 1);
    }

private:
    void AddShape(const pugi::xml_node& node, std::string_view name, const Style& s, const Matrix& m) {
        Outline outline(&budget_);
        if (!BuildOutline(node, name, &outline) || !outline.Finite(m)) return;
        Shape shape;
        const bool isLine = name == "line" || name == "polyline";
        shape.fill = !s.fill.none && !isLine;
        shape.fillColor = WithAlpha(s.fill.current ? s.color : s.fill.color, s.fillOpacity * s.opacity);
        shape.fillRule = s.fillRule;
        const double width = s.strokeWidth * m.Scale();
        shape.stroke = !s.stroke.none && width > 0 && std::isfinite(width) && width <= kMaxCoordinate;
        shape.strokeColor = WithAlpha(s.stroke.current ? s.color : s.stroke.color, s.strokeOpacity * s.opacity);
        shape.strokeWidth = static_cast<float>(shape.stroke ? width : 0);
        shape.lineCap = s.cap;
        shape.lineJoin = s.join;
        shape.miterLimit = static_cast<float>(s.miterLimit);
        if (shape.fill && ColorAlpha(shape.fillColor) == 0) shape.fill = false;
        if (shape.stroke && ColorAlpha(shape.strokeColor) == 0) shape.stroke = false;
        if (!shape.fill && !shape.stroke) return;
        shape.subpaths = outline.Take(m);
        if (!shape.subpaths.empty()) doc_->shapes.push_back(std::move(shape));
    }

    Document* doc_;
    size_t budget_ = kMaxPoints;
};

bool ReadViewBox(std::string_view text, Document* doc) {
    double v[4];
    if (ParseNumberList(text, v, 4) != 4) return false;
    for (double x : v) {
        if (!(std::fabs(x) <= kMaxCoordinate)) return false;
    }
    if (!(v[2] > 0 && v[3] > 0)) return false;
    doc->viewX = static_cast<float>(v[0]);
    doc->viewY = static_cast<float>(v[1]);
    doc->viewWidth = static_cast<float>(v[2]);
    doc->viewHeight = static_cast<float>(v[3]);
    return true;
}

// The size from width/height, falling back on the viewBox's and then on
// each other through the viewBox's aspect.
bool ReadSize(const pugi::xml_node& root, Document* doc, std::string* error) {
    const bool hasView = ReadViewBox(root.attribute("viewBox").value(), doc);
    double w = 0, h = 0;
    const bool hasW = ParseLength(root.attribute("width").value(), &w) && w > 0;
    const bool hasH = ParseLength(root.attribute("height").value(), &h) && h > 0;
    if (!hasW && !hasH && !hasView) {
        *error = "the svg element has neither a size nor a viewBox";
        return false;
    }
    if (!hasW) w = hasView ? (hasH ? h * doc->viewWidth / doc->viewHeight : doc->viewWidth) : h;
    if (!hasH) h = hasView ? (hasW ? w * doc->viewHeight / doc->viewWidth : doc->viewHeight) : w;
    if (!hasView) {
        doc->viewX = doc->viewY = 0;
        doc->viewWidth = static_cast<float>(w);
        doc->viewHeight = static_cast<float>(h);
    }
    if (!(w > 0 && h > 0 && w <= kMaxCoordinate && h <= kMaxCoordinate)) {
        *error = "the svg element's size is out of range";
        return false;
    }
    doc->width = static_cast<float>(w);
    doc->height = static_cast<float>(h);
    return true;
}

}  // namespace

bool Parse(std::string_view text, Document* document, std::string* error) {
    *document = Document{};
    std::string ignored;
    if (!error) error = &ignored;
    pugi::xml_document xml;
    const pugi::xml_parse_result result = xml.load_buffer(text.data(), text.size(), pugi::parse_default);
    if (!result) {
        *error = std::string("not XML: ") + result.description();
        return false;
    }
    const pugi::xml_node root = xml.document_element();
    if (Builder::LocalName(root.name()) != "svg") {
        *error = "the root element is not svg";
        return false;
    }
    Document doc;
    if (!ReadSize(root, &doc, error)) return false;
    const Style style = ResolveStyle(root, Style{});
    if (!style.hidden) {
        Matrix none;
        Builder(&doc).Walk(root, style, none, 0);
    }
    *document = std::move(doc);
    return true;
}

}  // namespace vekui::svg

#include "app/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <utility>

namespace tolvane::app {

using model::Member;
using model::ModelControl;
using model::ModelForm;

std::string escapeXml(std::string_view text) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\t': case '\n': case '\r': out += static_cast<char>(c); break;
        default:
          if (c < 0x20 || c == 0x7F) {
            out += kReplacement;
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    // A multi-byte UTF-8 sequence is copied only when it is well formed (no overlong forms, no
    // surrogates, nothing past U+10FFFF); anything else would make the document unreadable.
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07u;
    }
    bool ok = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; ok && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      ok = (next & 0xC0u) == 0x80u;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (ok) {
      ok = !(length == 3 && code < 0x800) && !(length == 4 && (code < 0x10000 || code > 0x10FFFF)) &&
           !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE && code != 0xFFFF;
    }
    if (ok) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += kReplacement;
      ++i;
    }
  }
  return out;
}

namespace {

constexpr double P = kPictureTwipsPerPixel;  // one picture pixel, in twips
constexpr double kMargin = 10 * P;
constexpr double kTitleSize = 14 * P;
constexpr double kTextSize = 11 * P;
constexpr double kLegendSize = 10 * P;
constexpr double kMinCanvasWidth = 560 * P;
constexpr double kMaxCanvasWidth = 1400 * P;
constexpr double kFontPointsToTwips = 20;
constexpr double kDefaultFontPoints = 8.25;

// A number as it stands in the model, for coordinates: the shortest text that reads back as the
// same double, so a reader of the picture can compare it with the model exactly.
std::string exact(double x) {
  if (x == 0) x = 0;  // no "-0"
  return host::shortest(x);
}

// A number for people: at most two decimals, no trailing zeros (8.25, 1503.8, 9000).
std::string shown(double x) {
  if (!std::isfinite(x)) return x != x ? "NaN" : (x > 0 ? "+inf" : "-inf");
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 2);
  std::string text(buffer, result.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

// Roughly how wide a line of DejaVu Sans or Arial is; used to keep labels apart and to size the
// canvas, never for anything a test or a reader depends on exactly.
double textWidth(std::string_view text, double size, bool bold = false) {
  std::size_t glyphs = 0;
  for (const char c : text) glyphs += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
  return static_cast<double>(glyphs) * size * (bold ? 0.64 : 0.58);
}

enum class Role { Splitter, AllRecs, Tree, Search, Browser, Button, Layout, Other };

Role roleOf(const ModelControl& c) {
  if (c.kind() == "Tolvane") return Role::Layout;
  if (c.name() == "lblHorDrag") return Role::Splitter;
  if (c.name() == "lstAllRecs") return Role::AllRecs;
  if (c.name() == "TreeView1") return Role::Tree;
  if (c.name() == "lstSearchResults") return Role::Search;
  if (c.name() == "WebBrowser1") return Role::Browser;
  if (c.kind() == "CommandButton") return Role::Button;
  return Role::Other;
}

struct Style {
  const char* cls;
  const char* fill;
  const char* stroke;
  const char* legend;
};

Style styleOf(Role role) {
  switch (role) {
    case Role::Splitter: return {"splitter", "#f76707", "#d9480f", "splitter (lblHorDrag)"};
    case Role::AllRecs: return {"pane", "url(#pane-allrecs)", "#1971c2", "lstAllRecs"};
    case Role::Tree: return {"pane", "url(#pane-tree)", "#2f9e44", "TreeView1"};
    case Role::Search: return {"pane", "url(#pane-search)", "#9c36b5", "lstSearchResults"};
    case Role::Browser: return {"browser", "#e3fafc", "#0c8599", "browser pane"};
    case Role::Button: return {"button", "#e9ecef", "#495057", "button (bold label: selected tab)"};
    case Role::Layout: return {"layout", "none", "#e67700", "the Tolvane control (invisible at run time)"};
    case Role::Other: return {"other", "#f8f9fa", "#868e96", "other control"};
  }
  return {"other", "#f8f9fa", "#868e96", "other control"};
}

// The three list panes share one place on the form; each has its own colour and hatching so that
// the one shown can be told apart even where colours cannot.
constexpr const char* kPatterns =
    "<defs>\n"
    "<pattern id=\"pane-allrecs\" width=\"180\" height=\"180\" patternUnits=\"userSpaceOnUse\">"
    "<rect width=\"180\" height=\"180\" fill=\"#e7f5ff\"/>"
    "<path d=\"M0 90H180\" stroke=\"#1971c2\" stroke-opacity=\"0.35\" stroke-width=\"15\"/></pattern>\n"
    "<pattern id=\"pane-tree\" width=\"180\" height=\"180\" patternUnits=\"userSpaceOnUse\" "
    "patternTransform=\"rotate(45)\">"
    "<rect width=\"180\" height=\"180\" fill=\"#ebfbee\"/>"
    "<path d=\"M0 90H180\" stroke=\"#2f9e44\" stroke-opacity=\"0.35\" stroke-width=\"15\"/></pattern>\n"
    "<pattern id=\"pane-search\" width=\"180\" height=\"180\" patternUnits=\"userSpaceOnUse\">"
    "<rect width=\"180\" height=\"180\" fill=\"#f8f0fc\"/>"
    "<path d=\"M0 90H180M90 0V180\" stroke=\"#9c36b5\" stroke-opacity=\"0.3\" stroke-width=\"12\"/></pattern>\n"
    "</defs>\n";

struct Box {
  double x0, y0, x1, y1;
  bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// Keeps labels from being written over each other: a label that would cover one already placed
// moves down a line, a few times at most. Boxes are kept in a coarse grid so that a form with tens
// of thousands of controls is still drawn quickly.
class LabelPlacer {
 public:
  // A label moves only as far as `bottom`, the foot of its own control; one that finds no free
  // place there stays where it was meant to be.
  Box place(const Box& wanted, double step, double bottom) {
    Box box = wanted;
    for (int attempt = 0; attempt < 6 && collides(box); ++attempt) {
      box.y0 += step;
      box.y1 += step;
      if (box.y1 > bottom) {
        box = wanted;
        break;
      }
    }
    insert(box);
    return box;
  }

 private:
  static constexpr double kCell = 1500;
  using Key = std::pair<long long, long long>;

  template <typename F>
  static void cells(const Box& b, F&& f) {
    const auto cell = [](double v) { return static_cast<long long>(std::floor(std::clamp(v, -1e12, 1e12) / kCell)); };
    const long long cx1 = std::min(cell(b.x1), cell(b.x0) + 64);
    const long long cy1 = std::min(cell(b.y1), cell(b.y0) + 64);
    for (long long x = cell(b.x0); x <= cx1; ++x) {
      for (long long y = cell(b.y0); y <= cy1; ++y) f(Key{x, y});
    }
  }
  bool collides(const Box& b) const {
    bool hit = false;
    cells(b, [&](const Key& key) {
      const auto it = grid_.find(key);
      if (it == grid_.end() || hit) return;
      hit = std::any_of(it->second.begin(), it->second.end(), [&](std::size_t i) { return boxes_[i].overlaps(b); });
    });
    return hit;
  }
  void insert(const Box& b) {
    boxes_.push_back(b);
    cells(b, [&](const Key& key) { grid_[key].push_back(boxes_.size() - 1); });
  }

  std::vector<Box> boxes_;
  std::map<Key, std::vector<std::size_t>> grid_;
};

// "a, b, c and 4 more"
std::string nameList(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 10;
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) out += (i ? ", " : "") + names[i];
  if (names.size() > kShown) out += " and " + std::to_string(names.size() - kShown) + " more";
  return out;
}

const char* stateName(std::int16_t state) {
  switch (state) {
    case 0: return "normal";
    case 1: return "minimised";
    case 2: return "maximised";
    default: return "unknown state";
  }
}

struct Drawn {
  const ModelControl* control;
  Role role;
  double x, y, w, h;  // normalised: w and h not negative
};

}  // namespace

Picture drawForm(const ModelForm& form, const model::ScreenSpec& screen, const PictureCaption& caption) {
  // The window: outer size less the frame gives the inner area; the frame is drawn as borders of
  // half its width and a title bar taking the rest of its height.
  const double outerW = std::max(0.0, std::isfinite(form.width()) ? form.width() : 0.0);
  const double outerH = std::max(0.0, std::isfinite(form.height()) ? form.height() : 0.0);
  const double innerW = form.scaleWidth();
  const double innerH = form.scaleHeight();
  const double border = std::max(0.0, (outerW - innerW) / 2);
  const double titleBar = std::max(0.0, outerH - innerH - border);
  const double originX = border, originY = titleBar;  // the inner area's corner in window units

  // Sort the controls into those with a drawable geometry and the rest.
  std::vector<Drawn> drawn;
  std::vector<std::string> notDrawn, beyond, flat;
  for (const auto& c : form.controls()) {
    const bool hasGeometry = c->has(Member::Left) && c->has(Member::Top) && c->has(Member::Width) && c->has(Member::Height);
    const bool finite = std::isfinite(c->left()) && std::isfinite(c->top()) && std::isfinite(c->width()) &&
                        std::isfinite(c->height());
    if (!hasGeometry || !finite) {
      notDrawn.push_back(c->name() + (hasGeometry ? " (not a finite number)" : ""));
      continue;
    }
    Drawn d{c.get(), roleOf(*c), std::min(c->left(), c->left() + c->width()), std::min(c->top(), c->top() + c->height()),
            std::abs(c->width()), std::abs(c->height())};
    if (d.x < 0 || d.y < 0 || d.x + d.w > innerW || d.y + d.h > innerH) beyond.push_back(c->name());
    if (d.w == 0 || d.h == 0) flat.push_back(c->name());
    drawn.push_back(d);
  }

  // What the picture spans, in window units: the window and whatever reaches out of it, within
  // reason (a control far away would shrink everything else to nothing).
  const double spanW = std::max(outerW, 1500.0), spanH = std::max(outerH, 1500.0);
  Box bounds{0, 0, outerW, outerH};
  for (const Drawn& d : drawn) {
    bounds.x0 = std::min(bounds.x0, std::max(-spanW, originX + d.x));
    bounds.y0 = std::min(bounds.y0, std::max(-spanH, originY + d.y));
    bounds.x1 = std::max(bounds.x1, std::min(2 * spanW, originX + d.x + d.w));
    bounds.y1 = std::max(bounds.y1, std::min(2 * spanH, originY + d.y + d.h));
  }

  // Caption lines.
  std::vector<std::string> lines;
  lines.push_back("Form " + form.name() + ": " + shown(form.width()) + " \xC3\x97 " + shown(form.height()) +
                  " twips, inner area " + shown(innerW) + " \xC3\x97 " + shown(innerH) + ", " +
                  stateName(form.windowState()) + " (WindowState " + std::to_string(form.windowState()) + ")");
  const double pixels = screen.twipsPerPixelX != 0 ? screen.width / screen.twipsPerPixelX : 0;
  lines.push_back("Screen " + shown(screen.width) + " twips at " + shown(screen.twipsPerPixelX) +
                  " twips per pixel (" + shown(pixels) + " pixels wide); drawn at 1 pixel = 15 twips");
  for (const auto& note : caption.notes) lines.push_back(note);

  // Notes under the legend.
  std::vector<std::string> footnotes;
  if (!notDrawn.empty()) footnotes.push_back("Not drawn, lacking a Left, Top, Width or Height: " + nameList(notDrawn));
  if (!flat.empty()) footnotes.push_back("Zero width or height, drawn as a dashed line: " + nameList(flat));
  if (!beyond.empty()) footnotes.push_back("Reaching beyond the inner area (a window clips them): " + nameList(beyond));

  // Canvas size.
  double canvasW = std::max(kMinCanvasWidth, bounds.x1 - bounds.x0 + 2 * kMargin);
  canvasW = std::max(canvasW, textWidth(caption.title, kTitleSize, true) + 2 * kMargin);
  for (const auto& line : lines) canvasW = std::max(canvasW, textWidth(line, kTextSize) + 2 * kMargin);
  for (const auto& line : footnotes) canvasW = std::max(canvasW, textWidth(line, kLegendSize) + 2 * kMargin);
  canvasW = std::min(canvasW, std::max(kMaxCanvasWidth, bounds.x1 - bounds.x0 + 2 * kMargin));

  const double lineGap = 1.4;
  double y = kMargin + kTitleSize;
  std::ostringstream body;
  body << "<text x=\"" << exact(kMargin) << "\" y=\"" << exact(y) << "\" font-size=\"" << exact(kTitleSize)
       << "\" font-weight=\"bold\" fill=\"#212529\">" << escapeXml(caption.title) << "</text>\n";
  for (const auto& line : lines) {
    y += kTextSize * lineGap;
    body << "<text x=\"" << exact(kMargin) << "\" y=\"" << exact(y) << "\" font-size=\"" << exact(kTextSize)
         << "\" fill=\"#343a40\">" << escapeXml(line) << "</text>\n";
  }
  y += kTextSize;

  // The window.
  const double windowX = kMargin - bounds.x0, windowY = y - bounds.y0;
  body << "<g id=\"window\" transform=\"translate(" << exact(windowX) << ' ' << exact(windowY) << ")\">\n";
  body << "<rect class=\"frame\" x=\"0\" y=\"0\" width=\"" << exact(outerW) << "\" height=\"" << exact(outerH)
       << "\" fill=\"#ced4da\" stroke=\"#495057\" stroke-width=\"15\"/>\n";
  if (titleBar > 0) {
    body << "<rect class=\"titlebar\" x=\"" << exact(border) << "\" y=\"" << exact(std::min(border, titleBar))
         << "\" width=\"" << exact(innerW) << "\" height=\"" << exact(std::max(0.0, titleBar - std::min(border, titleBar)))
         << "\" fill=\"#364fc7\"/>\n";
    const double titleSize = std::min(kTextSize, std::max(0.0, titleBar - border) * 0.7);
    if (titleSize >= 6 * P) {
      body << "<text x=\"" << exact(border + 4 * P) << "\" y=\"" << exact(titleBar - (titleBar - border - titleSize) / 2 - 2 * P)
           << "\" font-size=\"" << exact(titleSize) << "\" fill=\"#ffffff\">" << escapeXml(form.name()) << "</text>\n";
    }
  }
  body << "<g id=\"inner\" transform=\"translate(" << exact(originX) << ' ' << exact(originY) << ")\">\n";
  body << "<rect class=\"inner\" x=\"0\" y=\"0\" width=\"" << exact(innerW) << "\" height=\"" << exact(innerH)
       << "\" fill=\"#ffffff\" stroke=\"#868e96\" stroke-width=\"8\"/>\n";

  // Hidden controls first and faint, so that what a user sees lies on top.
  std::vector<const Drawn*> order;
  for (const Drawn& d : drawn) {
    if (!d.control->visible()) order.push_back(&d);
  }
  for (const Drawn& d : drawn) {
    if (d.control->visible()) order.push_back(&d);
  }
  for (const Drawn* d : order) {
    const ModelControl& c = *d->control;
    const Style style = styleOf(d->role);
    const bool hidden = !c.visible();
    std::string title = c.name() + " (" + c.kind() + "): left " + shown(c.left()) + ", top " + shown(c.top()) +
                        ", width " + shown(c.width()) + ", height " + shown(c.height());
    if (c.fontSize()) title += ", font " + shown(*c.fontSize()) + " pt" + (c.fontBold() ? " bold" : "");
    title += hidden ? ", hidden" : "";
    body << "<rect class=\"control " << style.cls << (hidden ? " hidden" : "") << "\" data-name=\""
         << escapeXml(c.name()) << "\" x=\"" << exact(c.left()) << "\" y=\"" << exact(c.top()) << "\" width=\""
         << exact(d->w) << "\" height=\"" << exact(d->h) << "\"";
    if (c.width() < 0 || c.height() < 0) {
      // A negative size cannot be drawn as it stands; the rect covers the same area.
      body << " transform=\"translate(" << exact(d->x - c.left()) << ' ' << exact(d->y - c.top()) << ")\"";
    }
    body << " fill=\"" << style.fill << "\" stroke=\"" << style.stroke << "\" stroke-width=\""
         << (d->role == Role::Layout ? "22" : "12") << '"';
    if (d->role == Role::Layout) body << " stroke-dasharray=\"30 30\"";
    if (hidden) body << " opacity=\"0.3\" stroke-dasharray=\"90 60\"";
    body << "><title>" << escapeXml(title) << "</title></rect>\n";
    if (d->w == 0 || d->h == 0) {
      body << "<line class=\"flat\" x1=\"" << exact(d->x) << "\" y1=\"" << exact(d->y) << "\" x2=\"" << exact(d->x + d->w)
           << "\" y2=\"" << exact(d->y + d->h) << "\" stroke=\"" << style.stroke
           << "\" stroke-width=\"30\" stroke-dasharray=\"60 45\"" << (hidden ? " opacity=\"0.3\"" : "") << "/>\n";
    }
  }

  // Labels last, visible controls first, so that they keep the best places.
  LabelPlacer placer;
  std::vector<const Drawn*> labelOrder;
  for (const bool visible : {true, false}) {
    for (const Drawn& d : drawn) {
      if (d.control->visible() == visible) labelOrder.push_back(&d);
    }
  }
  for (const Drawn* d : labelOrder) {
    const ModelControl& c = *d->control;
    const bool hidden = !c.visible();
    // Labels follow the control's font size, so that ResizeFont shows; a label wider than its
    // control is made smaller, within reason.
    const double points = c.fontSize().value_or(kDefaultFontPoints);
    double size = std::clamp(points * kFontPointsToTwips * 0.8, 6 * P, 40 * P);
    const bool bold = c.fontBold() && d->role == Role::Button;
    const std::string& text = c.name();
    const double room = d->w - 5 * P;
    if (textWidth(text, size, bold) > room) size = std::max(std::min(size, 7 * P), size * room / textWidth(text, size, bold));
    double lineWidth = textWidth(text, size, bold);
    std::string detail;
    if (!hidden && d->w >= 100 * P && d->h >= 4 * size) {
      detail = shown(c.width()) + " \xC3\x97 " + shown(c.height());
      if (c.fontSize()) detail += ", " + shown(*c.fontSize()) + " pt";
      lineWidth = std::max(lineWidth, textWidth(detail, size * 0.85));
    }
    const double x = d->x + 3 * P;
    const double height = detail.empty() ? size * 1.25 : size * 2.35;
    const Box box = placer.place(Box{x, d->y + 2 * P, x + lineWidth, d->y + 2 * P + height}, size * 1.2, d->y + d->h);
    body << "<text class=\"label\" x=\"" << exact(box.x0) << "\" y=\"" << exact(box.y0 + size) << "\" font-size=\""
         << exact(size) << '"' << (bold ? " font-weight=\"bold\"" : "") << (hidden ? " font-style=\"italic\"" : "")
         << " fill=\"" << (hidden ? "#868e96" : "#212529") << "\" stroke=\"#ffffff\" stroke-width=\"" << exact(size * 0.3)
         << "\" stroke-linejoin=\"round\" paint-order=\"stroke\">" << escapeXml(text);
    if (!detail.empty()) {
      body << "<tspan x=\"" << exact(box.x0) << "\" dy=\"" << exact(size * 1.1) << "\" font-size=\""
           << exact(size * 0.85) << "\" font-weight=\"normal\" fill=\"#495057\">" << escapeXml(detail) << "</tspan>";
    }
    body << "</text>\n";
  }
  body << "</g>\n";  // inner

  if (form.windowState() == 1) {
    body << "<rect class=\"minimised\" x=\"0\" y=\"0\" width=\"" << exact(outerW) << "\" height=\"" << exact(outerH)
         << "\" fill=\"#343a40\" opacity=\"0.55\"/>\n";
    const double size = std::max(6 * P, std::min(kTitleSize, outerW * 0.9 / textWidth("minimised", 1, true)));
    body << "<text x=\"" << exact(outerW / 2) << "\" y=\"" << exact(outerH / 2) << "\" font-size=\"" << exact(size)
         << "\" font-weight=\"bold\" text-anchor=\"middle\" fill=\"#ffffff\">minimised</text>\n";
  }
  body << "</g>\n";  // window

  // The legend: one swatch per kind of drawing, wrapped to the canvas width.
  y = windowY + bounds.y1 + kLegendSize * 2;
  struct Entry {
    std::string text;
    Style style;
    bool hidden;
  };
  std::vector<Entry> entries;
  for (const Role role : {Role::Splitter, Role::AllRecs, Role::Tree, Role::Search, Role::Browser, Role::Button,
                          Role::Other, Role::Layout}) {
    entries.push_back({styleOf(role).legend, styleOf(role), false});
  }
  entries.push_back({"hidden (Visible = False): faint, dashed, name in italics", styleOf(Role::Other), true});
  const double swatchW = 2 * kLegendSize, gap = kLegendSize;
  double x = kMargin;
  body << "<g id=\"legend\" font-size=\"" << exact(kLegendSize) << "\" fill=\"#343a40\">\n";
  for (const Entry& e : entries) {
    const double w = swatchW + gap / 2 + textWidth(e.text, kLegendSize);
    if (x > kMargin && x + w > canvasW - kMargin) {
      x = kMargin;
      y += kLegendSize * 1.8;
    }
    body << "<rect x=\"" << exact(x) << "\" y=\"" << exact(y - kLegendSize) << "\" width=\"" << exact(swatchW)
         << "\" height=\"" << exact(kLegendSize * 1.1) << "\" fill=\"" << e.style.fill << "\" stroke=\"" << e.style.stroke
         << "\" stroke-width=\"12\"" << (e.style.fill == std::string("none") ? " stroke-dasharray=\"30 30\"" : "")
         << (e.hidden ? " opacity=\"0.3\" stroke-dasharray=\"90 60\"" : "") << "/>";
    body << "<text x=\"" << exact(x + swatchW + gap / 2) << "\" y=\"" << exact(y) << "\">" << escapeXml(e.text)
         << "</text>\n";
    x += w + gap * 1.5;
  }
  body << "</g>\n";
  for (const auto& note : footnotes) {
    y += kLegendSize * 1.8;
    body << "<text class=\"note\" x=\"" << exact(kMargin) << "\" y=\"" << exact(y) << "\" font-size=\""
         << exact(kLegendSize) << "\" fill=\"#c92a2a\">" << escapeXml(note) << "</text>\n";
  }
  const double canvasH = y + kMargin;

  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << exact(std::ceil(canvasW / P)) << "\" height=\""
      << exact(std::ceil(canvasH / P)) << "\" viewBox=\"0 0 " << exact(std::ceil(canvasW / P) * P) << ' '
      << exact(std::ceil(canvasH / P) * P) << "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n"
      << "<title>" << escapeXml(caption.title) << "</title>\n"
      << kPatterns << "<rect class=\"background\" width=\"100%\" height=\"100%\" fill=\"#f1f3f5\"/>\n"
      << body.str() << "</svg>\n";
  return Picture{svg.str(), std::ceil(canvasW / P), std::ceil(canvasH / P)};
}

}  // namespace tolvane::app

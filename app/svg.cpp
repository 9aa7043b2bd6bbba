#include "app/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <sstream>
#include <utility>

#include "app/change.h"

namespace tolvane::app {

using model::Member;
using model::ModelControl;
using model::ModelForm;

std::string svgNumber(double x) {
  if (x == 0) x = 0;  // no "-0"
  return host::shortest(x);
}

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

std::string exact(double x) { return svgNumber(x); }

// A number for people: at most two decimals, no trailing zeros (8.25, 1503.8, 9000).
std::string shown(double x) {
  if (!std::isfinite(x)) return x != x ? "NaN" : (x > 0 ? "+inf" : "-inf");
  if (std::abs(x) >= 1e15) return host::shortest(x);  // 1e+306, not three hundred digits
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

}  // namespace

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
const char* const kPanePatterns =
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

namespace {

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


namespace {

// Colours of change: the highlight of a moved or resized control and the tags of hidden and shown ones.
constexpr const char* kChangedStroke = "#d6336c";
constexpr const char* kGhostStroke = "#495057";
constexpr const char* kHiddenTag = "#c92a2a";
constexpr const char* kShownTag = "#2b8a3e";

constexpr const char* kArrowDefs =
    "<defs><marker id=\"shift-arrow\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"6\" "
    "markerHeight=\"6\" orient=\"auto-start-reverse\"><path d=\"M0 0L10 5L0 10z\" fill=\"#d6336c\"/></marker></defs>\n";

// A size of the form for drawing: a number that is not finite is drawn as 0, and the caption says so.
double drawableSize(double value, const char* what, std::vector<std::string>& notes) {
  if (std::isfinite(value)) return value;
  notes.push_back(std::string("Clamped: the form's ") + what + " is " + shown(value) + ", drawn as 0");
  return 0;
}

// One entry of the legend: a swatch drawn by `swatch(x, y, w, h)` and its text.
struct LegendEntry {
  std::string text;
  std::string swatch;  // SVG with {X} {Y} {W} {H} standing for the swatch's box
};

std::string swatchRect(const char* fill, const char* stroke, const std::string& extra, int strokeWidth = 12) {
  return std::string("<rect x=\"{X}\" y=\"{Y}\" width=\"{W}\" height=\"{H}\" fill=\"") + fill + "\" stroke=\"" + stroke +
         "\" stroke-width=\"" + std::to_string(strokeWidth) + "\"" + extra + "/>";
}

std::string fillSwatch(std::string swatch, double x, double y, double w, double h) {
  for (const auto& [key, value] : {std::pair{"{X}", x}, {"{Y}", y}, {"{W}", w}, {"{H}", h}}) {
    for (std::size_t at = swatch.find(key); at != std::string::npos; at = swatch.find(key, at)) {
      swatch.replace(at, 3, exact(value));
    }
  }
  return swatch;
}

}  // namespace

Picture drawForm(const ModelForm& form, const model::ScreenSpec& screen, const PictureCaption& caption,
                 const FormFrame* previous) {
  std::vector<std::string> clampNotes;
  // The window: outer size less the frame gives the inner area; the frame is drawn as borders of
  // half its width and a title bar taking the rest of its height.
  const double outerW = std::max(0.0, drawableSize(form.width(), "Width", clampNotes));
  const double outerH = std::max(0.0, drawableSize(form.height(), "Height", clampNotes));
  const double innerW = drawableSize(form.scaleWidth(), "ScaleWidth", clampNotes);
  const double innerH = drawableSize(form.scaleHeight(), "ScaleHeight", clampNotes);
  const double border = std::max(0.0, (outerW - innerW) / 2);
  const double titleBar = std::max(0.0, outerH - innerH - border);
  const double originX = border, originY = titleBar;  // the inner area's corner in window units

  // What the step changed, control by control (in the form's order).
  FormChange change;
  std::unordered_map<std::string, const ControlFrame*> before;
  if (previous != nullptr) {
    change = compare(*previous, captureFrame(form));
    for (const auto& c : previous->controls) before.emplace(c.name, &c);
  }
  const auto changeOf = [&](std::size_t i) { return i < change.controls.size() ? change.controls[i] : ControlChange{}; };

  // Sort the controls into those with a drawable geometry and the rest.
  std::vector<Drawn> drawn;
  std::vector<ControlChange> drawnChange;
  std::vector<const ControlFrame*> ghosts;  // the earlier place of each drawn control that moved or was resized
  std::vector<std::string> notDrawn, beyond, flat;
  for (std::size_t i = 0; i < form.controls().size(); ++i) {
    const ModelControl& c = *form.controls()[i];
    const bool hasGeometry = c.has(Member::Left) && c.has(Member::Top) && c.has(Member::Width) && c.has(Member::Height);
    const bool finite = std::isfinite(c.left()) && std::isfinite(c.top()) && std::isfinite(c.width()) &&
                        std::isfinite(c.height());
    if (!hasGeometry || !finite) {
      notDrawn.push_back(c.name() + (hasGeometry ? " (not a finite number)" : ""));
      continue;
    }
    Drawn d{&c, roleOf(c.name(), c.kind()), std::min(c.left(), c.left() + c.width()), std::min(c.top(), c.top() + c.height()),
            std::abs(c.width()), std::abs(c.height())};
    if (d.x < 0 || d.y < 0 || d.x + d.w > innerW || d.y + d.h > innerH) beyond.push_back(c.name());
    if (d.w == 0 || d.h == 0) flat.push_back(c.name());
    drawn.push_back(d);
    drawnChange.push_back(changeOf(i));
    const auto was = before.find(c.name());
    ghosts.push_back(drawnChange.back().geometry() && was != before.end() && was->second->drawable ? was->second : nullptr);
  }

  // What the picture spans, in window units: the window and whatever reaches out of it, within
  // reason (a control far away would shrink everything else to nothing), and the ghosts.
  const double spanW = std::max(outerW, 1500.0), spanH = std::max(outerH, 1500.0);
  Box bounds{0, 0, outerW, outerH};
  const auto include = [&](double x, double y, double w, double h) {
    bounds.x0 = std::min(bounds.x0, std::max(-spanW, originX + x));
    bounds.y0 = std::min(bounds.y0, std::max(-spanH, originY + y));
    bounds.x1 = std::max(bounds.x1, std::min(2 * spanW, originX + x + w));
    bounds.y1 = std::max(bounds.y1, std::min(2 * spanH, originY + y + h));
  };
  for (const Drawn& d : drawn) include(d.x, d.y, d.w, d.h);
  for (const ControlFrame* g : ghosts) {
    if (g != nullptr) include(std::min(g->left, g->left + g->width), std::min(g->top, g->top + g->height), std::abs(g->width), std::abs(g->height));
  }
  const bool ghostInner = previous != nullptr && change.formResized && std::isfinite(previous->scaleWidth) &&
                          std::isfinite(previous->scaleHeight);
  if (ghostInner) include(0, 0, std::max(0.0, previous->scaleWidth), std::max(0.0, previous->scaleHeight));

  // A form too large to draw at one pixel for 15 twips is drawn smaller, to fit.
  const double scale = std::min({1.0, kMaxDrawnPixels * P / std::max(bounds.x1 - bounds.x0, 1.0),
                                 kMaxDrawnPixels * P / std::max(bounds.y1 - bounds.y0, 1.0)});
  if (scale < 1) {
    clampNotes.push_back("Clamped: too large to draw at 1 pixel = 15 twips; drawn at 1 pixel = " + shown(P / scale) +
                         " twips");
  }

  // Caption lines.
  std::vector<std::string> lines;
  lines.push_back("Form " + form.name() + ": " + shown(form.width()) + " \xC3\x97 " + shown(form.height()) +
                  " twips, inner area " + shown(form.scaleWidth()) + " \xC3\x97 " + shown(form.scaleHeight()) + ", " +
                  stateName(form.windowState()) + " (WindowState " + std::to_string(form.windowState()) + ")");
  const double pixels = screen.twipsPerPixelX != 0 ? screen.width / screen.twipsPerPixelX : 0;
  lines.push_back("Screen " + shown(screen.width) + " twips at " + shown(screen.twipsPerPixelX) +
                  " twips per pixel (" + shown(pixels) + " pixels wide); drawn at 1 pixel = " + shown(P / scale) +
                  " twips");
  for (const auto& note : clampNotes) lines.push_back(note);
  for (const auto& note : caption.notes) lines.push_back(note);

  // Notes under the legend.
  std::vector<std::string> footnotes;
  if (!notDrawn.empty()) footnotes.push_back("Not drawn, lacking a Left, Top, Width or Height: " + nameList(notDrawn));
  if (!flat.empty()) footnotes.push_back("Zero width or height, drawn as a dashed line: " + nameList(flat));
  if (!beyond.empty()) footnotes.push_back("Reaching beyond the inner area (a window clips them): " + nameList(beyond));

  // Canvas size.
  const double drawnW = (bounds.x1 - bounds.x0) * scale;
  const std::string changeLine = caption.change.empty() ? "" : "Change: " + caption.change;
  double canvasW = std::max(kMinCanvasWidth, drawnW + 2 * kMargin);
  canvasW = std::max(canvasW, textWidth(caption.title, kTitleSize, true) + 2 * kMargin);
  canvasW = std::max(canvasW, textWidth(changeLine, kTitleSize, true) + 2 * kMargin);
  for (const auto& line : lines) canvasW = std::max(canvasW, textWidth(line, kTextSize) + 2 * kMargin);
  for (const auto& line : footnotes) canvasW = std::max(canvasW, textWidth(line, kLegendSize) + 2 * kMargin);
  canvasW = std::min(canvasW, std::max(kMaxCanvasWidth, drawnW + 2 * kMargin));

  const double lineGap = 1.4;
  double y = kMargin + kTitleSize;
  std::ostringstream body;
  body << "<text x=\"" << exact(kMargin) << "\" y=\"" << exact(y) << "\" font-size=\"" << exact(kTitleSize)
       << "\" font-weight=\"bold\" fill=\"#212529\">" << escapeXml(caption.title) << "</text>\n";
  if (!changeLine.empty()) {
    y += kTitleSize * lineGap;
    body << "<text class=\"change\" x=\"" << exact(kMargin) << "\" y=\"" << exact(y) << "\" font-size=\""
         << exact(kTitleSize) << "\" font-weight=\"bold\" fill=\"" << kChangedStroke << "\">" << escapeXml(changeLine)
         << "</text>\n";
  }
  for (const auto& line : lines) {
    y += kTextSize * lineGap;
    body << "<text x=\"" << exact(kMargin) << "\" y=\"" << exact(y) << "\" font-size=\"" << exact(kTextSize)
         << "\" fill=\"#343a40\">" << escapeXml(line) << "</text>\n";
  }
  y += kTextSize;

  // The window.
  const double windowX = kMargin - bounds.x0 * scale, windowY = y - bounds.y0 * scale;
  body << "<g id=\"window\" transform=\"translate(" << exact(windowX) << ' ' << exact(windowY) << ")"
       << (scale < 1 ? " scale(" + exact(scale) + ")" : "") << "\">\n";
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
  if (ghostInner) {
    body << "<rect class=\"ghost inner-before\" x=\"0\" y=\"0\" width=\"" << exact(std::max(0.0, previous->scaleWidth))
         << "\" height=\"" << exact(std::max(0.0, previous->scaleHeight)) << "\" fill=\"none\" stroke=\"" << kGhostStroke
         << "\" stroke-width=\"20\" stroke-dasharray=\"120 80\" opacity=\"0.6\"><title>the inner area before this step: "
         << escapeXml(shown(previous->scaleWidth) + " \xC3\x97 " + shown(previous->scaleHeight)) << "</title></rect>\n";
  }

  // Hidden controls first and faint, so that what a user sees lies on top.
  std::vector<std::size_t> order;
  for (const bool visible : {false, true}) {
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      if (drawn[i].control->visible() == visible) order.push_back(i);
    }
  }
  for (const std::size_t i : order) {
    const Drawn* d = &drawn[i];
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

  // The change, over the controls: where each moved or resized control was, an arrow from its old
  // top-left corner to its new one, and a highlight on the control itself (faint when it is hidden).
  bool anyGhost = false, anyHidden = false, anyTagHidden = false, anyTagShown = false;
  for (const std::size_t i : order) {
    const Drawn& d = drawn[i];
    const bool hidden = !d.control->visible();
    anyHidden = anyHidden || hidden;
    if (!drawnChange[i].geometry()) continue;
    const char* faint = hidden ? " opacity=\"0.35\"" : "";
    if (const ControlFrame* g = ghosts[i]; g != nullptr) {
      anyGhost = true;
      const double gx = std::min(g->left, g->left + g->width), gy = std::min(g->top, g->top + g->height);
      const double gw = std::abs(g->width), gh = std::abs(g->height);
      body << "<rect class=\"ghost\" data-name=\"" << escapeXml(d.control->name()) << "\" x=\"" << exact(gx) << "\" y=\""
           << exact(gy) << "\" width=\"" << exact(gw) << "\" height=\"" << exact(gh) << "\" fill=\"none\" stroke=\""
           << kGhostStroke << "\" stroke-width=\"15\" stroke-dasharray=\"45 45\" opacity=\"" << (hidden ? "0.3" : "0.7")
           << "\"/>\n";
      // Corner to corner: under proportional scaling the top-left corner shows the move plainly,
      // where centres would draw long arrows across every large pane.
      const double fromX = gx, fromY = gy, toX = d.x, toY = d.y;
      if (!hidden && std::hypot(toX - fromX, toY - fromY) >= 8 * P) {
        body << "<line class=\"shift\" x1=\"" << exact(fromX) << "\" y1=\"" << exact(fromY) << "\" x2=\"" << exact(toX)
             << "\" y2=\"" << exact(toY) << "\" stroke=\"" << kChangedStroke
             << "\" stroke-width=\"18\" marker-end=\"url(#shift-arrow)\"/>\n";
      }
    }
    body << "<rect class=\"changed\" data-name=\"" << escapeXml(d.control->name()) << "\" x=\"" << exact(d.x) << "\" y=\""
         << exact(d.y) << "\" width=\"" << exact(d.w) << "\" height=\"" << exact(d.h) << "\" fill=\"none\" stroke=\""
         << kChangedStroke << "\" stroke-width=\"30\"" << faint << "/>\n";
  }

  // Labels last, visible controls first, so that they keep the best places.
  LabelPlacer placer;
  std::vector<std::size_t> labelOrder(order.size());
  std::rotate_copy(order.begin(), std::find_if(order.begin(), order.end(), [&](std::size_t i) { return drawn[i].control->visible(); }),
                   order.end(), labelOrder.begin());
  for (const std::size_t i : labelOrder) {
    const Drawn* d = &drawn[i];
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

  // Tags on the controls this step hid or showed, placed clear of the labels where there is room.
  for (const std::size_t i : labelOrder) {
    const ControlChange& c = drawnChange[i];
    if (!c.hidden && !c.shown) continue;
    const Drawn& d = drawn[i];
    anyTagHidden = anyTagHidden || c.hidden;
    anyTagShown = anyTagShown || c.shown;
    const std::string text = c.hidden ? "hidden" : "shown";
    const double size = 9 * P, w = textWidth(text, size, true) + 6 * P, h = size * 1.5;
    const double x = std::max(d.x, d.x + d.w - w - 2 * P);
    const Box box = placer.place(Box{x, d.y + 2 * P, x + w, d.y + 2 * P + h}, h * 1.1, std::max(d.y + d.h, d.y + 2 * P + h));
    body << "<g class=\"tag " << text << "\" data-name=\"" << escapeXml(d.control->name()) << "\"><rect x=\""
         << exact(box.x0) << "\" y=\"" << exact(box.y0) << "\" width=\"" << exact(w) << "\" height=\"" << exact(h)
         << "\" rx=\"" << exact(h / 2) << "\" fill=\"" << (c.hidden ? kHiddenTag : kShownTag) << "\"/><text x=\""
         << exact(box.x0 + 3 * P) << "\" y=\"" << exact(box.y0 + size * 1.1) << "\" font-size=\"" << exact(size)
         << "\" font-weight=\"bold\" fill=\"#ffffff\">" << text << "</text></g>\n";
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

  // The legend: one swatch for each kind of control the form has, and for each mark of change
  // this picture shows, wrapped to the canvas width.
  y = windowY + bounds.y1 * scale + kLegendSize * 2;
  std::vector<LegendEntry> entries;
  for (const Role role : {Role::Splitter, Role::AllRecs, Role::Tree, Role::Search, Role::Browser, Role::Button,
                          Role::Other, Role::Layout}) {
    if (std::none_of(drawn.begin(), drawn.end(), [&](const Drawn& d) { return d.role == role; })) continue;
    const Style style = styleOf(role);
    entries.push_back({style.legend, swatchRect(style.fill, style.stroke, role == Role::Layout ? " stroke-dasharray=\"30 30\"" : "")});
  }
  if (anyHidden) {
    entries.push_back({"hidden (Visible = False): faint, dashed, name in italics",
                       swatchRect(styleOf(Role::Other).fill, styleOf(Role::Other).stroke, " opacity=\"0.3\" stroke-dasharray=\"90 60\"")});
  }
  if (anyGhost) {
    entries.push_back({"where it was before this step", swatchRect("none", kGhostStroke, " stroke-dasharray=\"45 45\" opacity=\"0.7\"")});
  }
  if (std::any_of(drawnChange.begin(), drawnChange.end(), [](const ControlChange& c) { return c.geometry(); })) {
    entries.push_back({"moved or resized by this step", swatchRect("none", kChangedStroke, "", 30)});
  }
  if (anyTagHidden) entries.push_back({"hidden by this step", swatchRect(kHiddenTag, kHiddenTag, "")});
  if (anyTagShown) entries.push_back({"shown by this step", swatchRect(kShownTag, kShownTag, "")});
  const double swatchW = 2 * kLegendSize, gap = kLegendSize;
  double x = kMargin;
  body << "<g id=\"legend\" font-size=\"" << exact(kLegendSize) << "\" fill=\"#343a40\">\n";
  for (const LegendEntry& e : entries) {
    const double w = swatchW + gap / 2 + textWidth(e.text, kLegendSize);
    if (x > kMargin && x + w > canvasW - kMargin) {
      x = kMargin;
      y += kLegendSize * 1.8;
    }
    body << fillSwatch(e.swatch, x, y - kLegendSize, swatchW, kLegendSize * 1.1);
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
      << kPanePatterns << (anyGhost ? kArrowDefs : "")
      << "<rect class=\"background\" width=\"100%\" height=\"100%\" fill=\"#f1f3f5\"/>\n" << body.str() << "</svg>\n";
  return Picture{svg.str(), std::ceil(canvasW / P), std::ceil(canvasH / P)};
}

}  // namespace tolvane::app

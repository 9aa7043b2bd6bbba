#include "app/animation.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_map>

#include "app/svg.h"

namespace tolvane::app {

namespace {

constexpr double P = kPictureTwipsPerPixel;
constexpr double kMargin = 10 * P;
constexpr double kTitleSize = 14 * P;
constexpr double kCaptionSize = 13 * P;
constexpr double kLabelSize = 8 * P;

std::string num(double x) { return svgNumber(x); }

double finiteOr0(double x) { return std::isfinite(x) ? x : 0; }

// The times, as fractions of the loop, at which the keyframes fall: each frame is reached by a move
// and then stands; after the last, the loop moves back to the first.
class Timeline {
 public:
  explicit Timeline(std::size_t frames)
      : frames_(frames), total_(std::round(static_cast<double>(frames) * kFrameSeconds * 1000) / 1000) {}

  double seconds() const { return total_; }
  // Keyframe times for values given per frame: v0 v0 v1 v1 ... v(n-1) v(n-1) v0.
  std::string keyTimes() const {
    std::string out = "0";
    for (std::size_t k = 0; k < frames_; ++k) {
      if (k > 0) out += ";" + fraction(static_cast<double>(k) * kFrameSeconds);
      out += ";" + fraction(static_cast<double>(k + 1) * kFrameSeconds - kMoveSeconds);
    }
    return out + ";1";
  }
  std::string values(const std::vector<double>& perFrame) const {
    std::string out;
    for (const double v : perFrame) out += num(v) + ";" + num(v) + ";";
    return out + num(perFrame.front());
  }
  // When frame k starts to stand and when the next one starts, as fractions.
  std::string start(std::size_t k) const { return fraction(static_cast<double>(k) * kFrameSeconds); }

 private:
  std::string fraction(double seconds) const { return num(std::round(seconds / total_ * 1e6) / 1e6); }

  std::size_t frames_;
  double total_;
};

std::string animate(const Timeline& timeline, const char* attribute, const std::vector<double>& perFrame) {
  if (std::all_of(perFrame.begin(), perFrame.end(), [&](double v) { return v == perFrame.front(); })) return "";
  return std::string("<animate attributeName=\"") + attribute + "\" dur=\"" + num(timeline.seconds()) +
         "s\" repeatCount=\"indefinite\" calcMode=\"linear\" keyTimes=\"" + timeline.keyTimes() + "\" values=\"" +
         timeline.values(perFrame) + "\"/>";
}

// A caption shown only while its frame stands.
std::string showDuring(const Timeline& timeline, std::size_t k, std::size_t frames) {
  std::string values, times;
  if (k == 0) {
    values = "1;0";
    times = "0;" + timeline.start(1);
  } else if (k + 1 == frames) {
    values = "0;1";
    times = "0;" + timeline.start(k);
  } else {
    values = "0;1;0";
    times = "0;" + timeline.start(k) + ";" + timeline.start(k + 1);
  }
  return "<animate attributeName=\"opacity\" dur=\"" + num(timeline.seconds()) +
         "s\" repeatCount=\"indefinite\" calcMode=\"discrete\" keyTimes=\"" + times + "\" values=\"" + values + "\"/>";
}

}  // namespace

std::string drawAnimation(const std::string& title, const std::vector<AnimationFrame>& frames) {
  std::ostringstream body;
  const std::size_t n = frames.size();
  if (n == 0) return "";
  const Timeline timeline(n);
  const FormFrame& first = *frames.front().frame;

  // The canvas holds the largest window of any frame, and the controls within reason.
  double spanW = 0, spanH = 0;
  for (const auto& f : frames) {
    spanW = std::max(spanW, finiteOr0(f.frame->width));
    spanH = std::max(spanH, finiteOr0(f.frame->height));
  }
  const double border = std::max(0.0, (finiteOr0(first.width) - finiteOr0(first.scaleWidth)) / 2);
  const double titleBar = std::max(0.0, finiteOr0(first.height) - finiteOr0(first.scaleHeight) - border);
  double x0 = 0, y0 = 0, x1 = spanW, y1 = spanH;
  const double reachW = std::max(spanW, 1500.0), reachH = std::max(spanH, 1500.0);
  for (const auto& f : frames) {
    for (const auto& c : f.frame->controls) {
      if (!c.drawable) continue;
      x0 = std::min(x0, std::max(-reachW, border + std::min(c.left, c.left + c.width)));
      y0 = std::min(y0, std::max(-reachH, titleBar + std::min(c.top, c.top + c.height)));
      x1 = std::max(x1, std::min(2 * reachW, border + std::max(c.left, c.left + c.width)));
      y1 = std::max(y1, std::min(2 * reachH, titleBar + std::max(c.top, c.top + c.height)));
    }
  }
  const double scale = std::min({1.0, kMaxDrawnPixels * P / std::max(x1 - x0, 1.0), kMaxDrawnPixels * P / std::max(y1 - y0, 1.0)});

  double y = kMargin + kTitleSize;
  body << "<text x=\"" << num(kMargin) << "\" y=\"" << num(y) << "\" font-size=\"" << num(kTitleSize)
       << "\" font-weight=\"bold\" fill=\"#212529\">" << escapeXml(title) << "</text>\n";
  y += kCaptionSize * 1.5;
  double captionWidth = 0;
  for (std::size_t k = 0; k < n; ++k) {
    body << "<text class=\"caption\" x=\"" << num(kMargin) << "\" y=\"" << num(y) << "\" font-size=\"" << num(kCaptionSize)
         << "\" fill=\"#a61e4d\" font-weight=\"bold\"" << (k == 0 ? "" : " opacity=\"0\"") << ">"
         << escapeXml(frames[k].caption) << (n > 1 ? showDuring(timeline, k, n) : "") << "</text>\n";
    captionWidth = std::max(captionWidth, static_cast<double>(frames[k].caption.size()) * kCaptionSize * 0.6);
  }
  y += kCaptionSize;

  const auto perFrame = [&](auto value) {
    std::vector<double> out;
    for (const auto& f : frames) out.push_back(value(*f.frame));
    return out;
  };
  const double windowX = kMargin - x0 * scale, windowY = y - y0 * scale;
  body << "<g id=\"window\" transform=\"translate(" << num(windowX) << ' ' << num(windowY) << ")"
       << (scale < 1 ? " scale(" + num(scale) + ")" : "") << "\">\n";
  const auto width = perFrame([](const FormFrame& f) { return std::max(0.0, finiteOr0(f.width)); });
  const auto height = perFrame([](const FormFrame& f) { return std::max(0.0, finiteOr0(f.height)); });
  body << "<rect class=\"frame\" x=\"0\" y=\"0\" width=\"" << num(width[0]) << "\" height=\"" << num(height[0])
       << "\" fill=\"#ced4da\" stroke=\"#495057\" stroke-width=\"15\">" << animate(timeline, "width", width)
       << animate(timeline, "height", height) << "</rect>\n";
  const auto innerW = perFrame([](const FormFrame& f) { return std::max(0.0, finiteOr0(f.scaleWidth)); });
  const auto innerH = perFrame([](const FormFrame& f) { return std::max(0.0, finiteOr0(f.scaleHeight)); });
  if (titleBar > border) {
    body << "<rect class=\"titlebar\" x=\"" << num(border) << "\" y=\"" << num(border) << "\" width=\"" << num(innerW[0])
         << "\" height=\"" << num(titleBar - border) << "\" fill=\"#364fc7\">" << animate(timeline, "width", innerW)
         << "</rect>\n";
  }
  body << "<g id=\"inner\" transform=\"translate(" << num(border) << ' ' << num(titleBar) << ")\">\n";
  body << "<rect class=\"inner\" x=\"0\" y=\"0\" width=\"" << num(innerW[0]) << "\" height=\"" << num(innerH[0])
       << "\" fill=\"#ffffff\" stroke=\"#868e96\" stroke-width=\"8\">" << animate(timeline, "width", innerW)
       << animate(timeline, "height", innerH) << "</rect>\n";

  // Every control in every frame, found by name; the layout control itself is left out, since it
  // never moves and is invisible at run time.
  std::vector<std::unordered_map<std::string, const ControlFrame*>> byName(n);
  for (std::size_t k = 0; k < n; ++k) {
    for (const auto& c : frames[k].frame->controls) byName[k].emplace(c.name, &c);
  }
  for (const bool visibleFirst : {false, true}) {
    for (const auto& c : first.controls) {
      const Role role = roleOf(c.name, c.kind);
      if (role == Role::Layout || c.visible != visibleFirst) continue;
      std::vector<double> xs, ys, ws, hs, opacity, lx, ly;
      const ControlFrame* last = &c;
      for (std::size_t k = 0; k < n; ++k) {
        const auto it = byName[k].find(c.name);
        const ControlFrame* now = it == byName[k].end() ? nullptr : it->second;
        const bool drawable = now != nullptr && now->drawable;
        if (drawable) last = now;  // a control without a place in a frame stays where it was, unseen
        const double x = last->drawable ? std::min(last->left, last->left + last->width) : 0;
        const double top = last->drawable ? std::min(last->top, last->top + last->height) : 0;
        xs.push_back(x);
        ys.push_back(top);
        ws.push_back(last->drawable ? std::abs(last->width) : 0);
        hs.push_back(last->drawable ? std::abs(last->height) : 0);
        opacity.push_back(!drawable ? 0 : now->visible ? 1 : 0.25);
        lx.push_back(x + 3 * P);
        ly.push_back(top + 2 * P + kLabelSize);
      }
      if (std::all_of(opacity.begin(), opacity.end(), [](double o) { return o == 0; })) continue;
      const Style style = styleOf(role);
      body << "<g class=\"control " << style.cls << "\" data-name=\"" << escapeXml(c.name) << "\" opacity=\""
           << num(opacity[0]) << "\">" << animate(timeline, "opacity", opacity) << "<rect x=\"" << num(xs[0]) << "\" y=\""
           << num(ys[0]) << "\" width=\"" << num(ws[0]) << "\" height=\"" << num(hs[0]) << "\" fill=\"" << style.fill
           << "\" stroke=\"" << style.stroke << "\" stroke-width=\"12\">" << animate(timeline, "x", xs)
           << animate(timeline, "y", ys) << animate(timeline, "width", ws) << animate(timeline, "height", hs)
           << "</rect><text x=\"" << num(lx[0]) << "\" y=\"" << num(ly[0]) << "\" font-size=\"" << num(kLabelSize)
           << "\" fill=\"#212529\">" << escapeXml(c.name) << animate(timeline, "x", lx) << animate(timeline, "y", ly)
           << "</text></g>\n";
    }
  }
  body << "</g>\n";  // inner
  const auto minimised = perFrame([](const FormFrame& f) { return f.windowState == 1 ? 0.55 : 0.0; });
  if (std::any_of(minimised.begin(), minimised.end(), [](double o) { return o != 0; })) {
    body << "<rect class=\"minimised\" x=\"0\" y=\"0\" width=\"" << num(width[0]) << "\" height=\"" << num(height[0])
         << "\" fill=\"#343a40\" opacity=\"" << num(minimised[0]) << "\">" << animate(timeline, "opacity", minimised)
         << animate(timeline, "width", width) << animate(timeline, "height", height) << "</rect>\n";
  }
  body << "</g>\n";  // window

  const double canvasW = std::ceil(std::max({(x1 - x0) * scale + 2 * kMargin, captionWidth + 2 * kMargin, 560 * P}) / P);
  const double canvasH = std::ceil((windowY + y1 * scale + kMargin) / P);
  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << num(canvasW) << "\" height=\"" << num(canvasH)
      << "\" viewBox=\"0 0 " << num(canvasW * P) << ' ' << num(canvasH * P)
      << "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n"
      << "<title>" << escapeXml(title) << "</title>\n"
      << kPanePatterns << "<rect class=\"background\" width=\"100%\" height=\"100%\" fill=\"#f1f3f5\"/>\n"
      << body.str() << "</svg>\n";
  return svg.str();
}

}  // namespace tolvane::app

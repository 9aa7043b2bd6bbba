#include "bench/bench_form.h"

#include <string>
#include <utility>

namespace tolvane::bench {

model::FormSpec benchForm(int n) {
  model::FormSpec form;
  form.width = 9600;
  form.height = 7200;
  auto add = [&](std::string name, double left, double top, double width, double height) -> model::ControlSpec& {
    model::ControlSpec c;
    c.name = std::move(name);
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    form.controls.push_back(std::move(c));
    return form.controls.back();
  };
  add("Tolvane1", 0, 0, 480, 450).kind = "Tolvane";
  add("txtRebuild", 0, 6400, 1200, 285).text = "True";
  add("WebBrowser1", 0, 600, 3000, 5400);
  add("Text1", 0, 6000, 3000, 285).text = "";
  add("lblHorDrag", 3010, 600, 60, 5400);
  add("lstAllRecs", 3210, 600, 6000, 4500);
  add("TreeView1", 3210, 600, 6000, 4500);
  add("lstSearchResults", 3210, 600, 6000, 4500);
  add("cmdAllRecs", 3250, 120, 1200, 375).fontBold = true;
  add("cmdFavorites", 4450, 120, 1200, 375).fontBold = false;
  add("cmdSearchResults", 5650, 120, 1200, 375).fontBold = false;
  add("cmdAddTV", 3250, 5160, 1200, 375);
  add("cmdNewTV", 4450, 5160, 1200, 375);
  add("cmdDelTV", 5650, 5160, 1200, 375);
  for (int i = static_cast<int>(form.controls.size()); i < n; ++i) {
    add("ctl" + std::to_string(i), (i % 64) * 140.0, (i / 64 % 48) * 140.0 + 30, 120, 100).fontSize = 8.25 + i % 4;
  }
  return form;
}

}  // namespace tolvane::bench

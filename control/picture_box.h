// The picture box inside the control. Its picture is fixed at design time and it is 480 x 450 twips;
// the control keeps its own size locked to it.
#pragma once

namespace tolvane {

struct PictureBox {
  float Left = 0;
  float Top = 0;
  float Width = 480;
  float Height = 450;

  void Move(float left, float top) {
    Left = left;
    Top = top;
  }
};

}  // namespace tolvane

// The rotation slider and its dial: a click stores the rotation for the row on show and for a new
// object; drawing the dial for an angle stores nothing.
#include <QListWidget>
#include <QSlider>
#include <cmath>

#include "objects/rotation.h"
#include "ui/dial_canvas.h"
#include "ui/form1.h"

namespace quorvex::ui {

void Form1::Slider1_Click() {
  const int v = Slider1_->value();
  redrawDial(v);
  const RotationPair rotation = RotationForDegrees(v);
  // Only a row of the list can receive it; without one the rotation is still the new object's.
  const int row = List2_->currentRow();
  if (row < List2_->count()) state_.setDialRotation(row, rotation);
  state_.CurrentRotationA = rotation.a;
  state_.CurrentRotationC = rotation.c;
}

void Form1::DrawRotationDial(double angle) {
  // Setting the value from code raises no click: nothing is stored.
  Slider1_->setValue(SliderValueFor(angle));
  redrawDial(std::isfinite(angle) ? angle : 0.0);
}

void Form1::redrawDial(double w) {
  dial_->setDrawing(DialFor(w));
}

}  // namespace quorvex::ui

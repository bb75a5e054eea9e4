#pragma once

// The three sliders of TMultiSliderTrackbar; the values index per-slider arrays.
enum TSliderNumber : int {
    SliderNumber_Main = 0,
    SliderNumber_1 = 1,
    SliderNumber_2 = 2,
};

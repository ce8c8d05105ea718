// The test panel and its callbacks: opening and closing the panel, bring-up in test mode,
// single readings and moves of the cam under test, test runs, the work-point search and
// clearing the graph. Each acts on the commit event only and returns 0 (do_cam_test -1
// when the panel cannot be loaded).
#pragma once

// Main panel: loads the test panel and makes it the active panel.
int do_cam_test(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
// Bring-up in test mode: test-mode defaults, the panel's settings, the instruments.
int test_device_init(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int test_distance_move(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int test_zero_data(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int test_get_temp(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int test_get_position(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int test_get_angle(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int test_refresh_graph(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int test_go_zero(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int test_go_home(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int test_set_angle(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int find_work_point(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
// Closes the test panel and puts the records back to the stage defaults.
int exit_test(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

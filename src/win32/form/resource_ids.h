#pragma once
// Resource numbers shared by the resource script and the program.
#define KAVREL_ICON_GROUP 1
#define KAVREL_ICON_IMAGE 30001
#define KAVREL_LOGO 101

#pragma once
int low_value();

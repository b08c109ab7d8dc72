#pragma once
int high_value();

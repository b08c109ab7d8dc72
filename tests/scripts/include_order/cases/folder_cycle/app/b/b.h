#pragma once
int b();

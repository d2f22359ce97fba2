#pragma once
class TController {};

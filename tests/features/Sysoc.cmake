# The optional-components engine: its reading rules natively and under Wine.
velmora_test(features_sysoc_rules_tests SOURCES SysOCIniFileTests.cpp SysocRulesTests.cpp)

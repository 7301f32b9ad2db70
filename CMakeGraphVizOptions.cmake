# What `cmake --graphviz` draws for docs/architecture.md: the libraries and programs of the
# product, without tests, benchmarks and tools.
set(GRAPHVIZ_GRAPH_NAME "era")
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_CUSTOM_TARGETS FALSE)
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "^era_tests_" "^era_gui_screenshots$" "^era_gen_tree$" "^era_load_workstation$"
    "^era_scan_memory$" "^era_round_trips$" "^era_bench$" "_fuzz$" "^era_allocator$" "^GTest::" "^Qt6::Test$" "mimalloc" "^-Wl,")

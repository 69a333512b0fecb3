# Warnings for every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
# The engine's loops are written for the vectoriser; make sure it runs at -O2.
add_compile_options($<$<CONFIG:RelWithDebInfo,Release>:-O3>)

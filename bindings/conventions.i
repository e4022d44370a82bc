/* The binding conventions both Python modules share. The generator's own
   output differs from them in a few fragments, which the build's
   post-generation step (postprocess.py) rewrites; what is declared here is
   what the interface files can say themselves. */

/* Text arguments: a Python str, or None for a null pointer (the generator's
   standard char * handling); text results as str; bool results as bool. */
%include <std_string.i>
%include <std_vector.i>

# SPDX-FileCopyrightText: The Quillon developers
# SPDX-License-Identifier: GPL-2.0-or-later
break main
break helper
break oracle-names.c:10
break oracle_program.c:46
run
next 3
print x
print y
next
print sum
print x
step
bt
finish
next
print g_s8
print g_u16
print g_s32
print g_f
print g_node
print g_arr
print g_run
print/x g_arr
print/t g_s8
print/o g_u16
print/d g_u16
print/u g_s8
print/c g_node.tag
print/x g_node
print/t g_node.bits
print g_node.bits.sb
print/x g_s32
tbreak depth
continue
step
step
bt
finish
continue
print calls
bt
continue
print g_named
bt
continue

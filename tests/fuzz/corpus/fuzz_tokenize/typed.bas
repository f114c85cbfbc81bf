 	10	print "ñ":rem print
	
20 data a	b

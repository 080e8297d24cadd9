<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<s><xsl:value-of select="concat(substring('abcdef', 2, 3), '|', substring-before('a=b', '='), '|', substring-after('a=b', '='), '|', translate('abc', 'ab', 'AB'), '|', normalize-space('  a   b  '))"/></s>
<n><xsl:value-of select="concat(sum(//price), '|', floor(2.5), '|', ceiling(2.5), '|', round(-2.5), '|', 7 mod 3)"/></n>
<b><xsl:value-of select="concat(boolean(//nothing), '|', not(0), '|', string(1 = 1.0), '|', contains('abc', 'bc'), '|', starts-with('abc', 'b'))"/></b>
<x><xsl:value-of select="concat(local-name(//x:note), '|', namespace-uri(//x:note), '|', name(/*), '|', string-length('héllo'))" xmlns:x="urn:extra"/></x>
<a><xsl:value-of select="concat(element-available('xsl:value-of'), '|', function-available('concat'), '|', function-available('no-such'))"/></a>
</r></xsl:template>
</xsl:stylesheet>

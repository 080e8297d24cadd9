<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:key name="a" match="book" use="author"/>
<xsl:key name="t" match="book" use="tag"/>
<xsl:template match="/"><r>
<xsl:for-each select="//book[generate-id() = generate-id(key('a', author)[1])]"><author name="{author}" n="{count(key('a', author))}"/></xsl:for-each>
<food><xsl:value-of select="count(key('t', 'food'))"/></food>
<none><xsl:value-of select="count(key('t', 'nothing'))"/></none>
<set><xsl:value-of select="count(key('t', //book[1]/tag))"/></set>
</r></xsl:template>
</xsl:stylesheet>

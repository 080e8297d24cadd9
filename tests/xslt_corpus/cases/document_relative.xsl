<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="/"><r>
<from-source><xsl:value-of select="document(/doc/ref/@href)/other/v"/></from-source>
<from-stylesheet><xsl:value-of select="document('docs/other%20doc.xml')/other/v"/></from-stylesheet>
<missing><xsl:value-of select="count(document('docs/none.xml'))"/></missing>
</r></xsl:template>
</xsl:stylesheet>
